// A TLS client connection for the end-to-end tests, for what curl cannot be steered to do
// (several requests on one connection, a header sent without its body).
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

}  // namespace zeb::test
