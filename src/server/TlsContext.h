// The TLS server context of the listener: certificate, key, protocol versions and ciphers.
#pragma once

#include <boost/asio/ssl/context.hpp>
#include <memory>
#include <string>

namespace zeb::server {

// Makes a server context that accepts TLS 1.2 and 1.3 only, with forward-secret AEAD ciphers for
// TLS 1.2, no compression and no renegotiation, presenting the PEM certificate chain in certFile
// and the unencrypted PEM private key in keyFile. Throws std::runtime_error with a one-line
// message naming the file when a file cannot be read or parsed (an encrypted key is refused
// rather than prompted for) and when the key does not belong to the certificate.
std::unique_ptr<boost::asio::ssl::context> MakeTlsContext(const std::string& certFile,
                                                          const std::string& keyFile);

}  // namespace zeb::server
