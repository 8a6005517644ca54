// A TLS client connection for the end-to-end tests: sends arbitrary bytes (one at a time if need
// be) and reads raw HTTP responses, where curl cannot be steered that finely.
#pragma once

#include <openssl/ssl.h>

#include <string>
#include <string_view>

#include "e2e/ZebdProcess.h"

namespace zeb::test {

class TlsConnection {
 public:
  // Connects to 127.0.0.1:port and completes the handshake, trusting the certificate in
  // caFile. Throws std::runtime_error when either fails.
  TlsConnection(int port, const std::string& caFile);
  ~TlsConnection();
  TlsConnection(const TlsConnection&) = delete;
  TlsConnection& operator=(const TlsConnection&) = delete;

  // Sends all bytes. Returns false when the connection has gone.
  bool Send(std::string_view bytes);

  // Reads one response with a Content-Length body; returns what arrived before the timeout or
  // the close when it is incomplete.
  std::string ReadResponse(Millis timeout = kDefaultTimeout);

  // Waits up to timeout for the server to close; true when it did. Bytes that arrive are
  // discarded.
  bool WaitClosed(Millis timeout);

 private:
  // Appends what arrives before the deadline to pending_; false on close or timeout.
  bool ReceiveMore(std::chrono::steady_clock::time_point deadline);

  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
  int fd_ = -1;
  ExchangeChecker checker_;
  std::string pending_;
  bool closed_ = false;
};

}  // namespace zeb::test
