// A TLS client connection for the end-to-end tests, for what curl cannot be steered to do
// (several requests on one connection, a header sent without its body), and the credentials the
// tests make for zebd with the usual tools.
#pragma once

#include <openssl/ssl.h>

#include <string>

#include "e2e/ZebdProcess.h"

namespace zeb::test {

class TlsConnection : public RawConnection {
 public:
  // Connects to 127.0.0.1:port and completes the handshake, trusting the certificate in
  // caFile. Throws std::runtime_error when either fails.
  TlsConnection(int port, const std::string& caFile);
  ~TlsConnection() override;

 private:
  long Write(const char* data, std::size_t size) override;
  long Read(char* data, std::size_t size) override;
  // Decrypted bytes may wait inside the TLS layer, where poll cannot see them.
  bool Buffered() const override { return SSL_pending(ssl_) > 0; }

  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
};

// Makes a self-signed P-256 certificate for 127.0.0.1 with subject CN=cn, and its key, with
// openssl; throws std::runtime_error when that fails.
void MakeCertificate(const std::string& certFile, const std::string& keyFile,
                     const std::string& cn = "localhost");
// The auth file line of user with password, hashed by mkpasswd as sha512crypt.
std::string AuthLine(const std::string& user, const std::string& password);

}  // namespace zeb::test
