#include "e2e/TlsConnection.h"

#include <stdexcept>

namespace zeb::test {

TlsConnection::TlsConnection(int port, const std::string& caFile) : RawConnection(port) {
  context_ = SSL_CTX_new(TLS_client_method());
  if (context_ != nullptr && SSL_CTX_load_verify_locations(context_, caFile.c_str(), nullptr) == 1) {
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
    ssl_ = SSL_new(context_);
    SSL_set_fd(ssl_, fd_);
    SSL_set1_host(ssl_, "127.0.0.1");
    if (SSL_connect(ssl_) == 1) return;
  }
  SSL_free(ssl_);
  SSL_CTX_free(context_);
  throw std::runtime_error("no TLS connection to port " + std::to_string(port) + " trusting " + caFile);
}

TlsConnection::~TlsConnection() {
  SSL_free(ssl_);
  SSL_CTX_free(context_);
}

long TlsConnection::Write(const char* data, std::size_t size) {
  return SSL_write(ssl_, data, static_cast<int>(size));
}

long TlsConnection::Read(char* data, std::size_t size) {
  int n = SSL_read(ssl_, data, static_cast<int>(size));
  // A TLS 1.3 session ticket is read without application data.
  return n <= 0 && SSL_get_error(ssl_, n) == SSL_ERROR_WANT_READ ? kRetry : n;
}

void MakeCertificate(const std::string& certFile, const std::string& keyFile, const std::string& cn) {
  const CommandResult made =
      RunCommand({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                  "-keyout", keyFile, "-out", certFile, "-days", "2", "-subj", "/CN=" + cn, "-addext",
                  "subjectAltName=IP:127.0.0.1"});
  if (made.exitCode != 0) throw std::runtime_error("openssl req: " + made.err);
}

std::string AuthLine(const std::string& user, const std::string& password) {
  const CommandResult hash = RunCommand({"mkpasswd", "-m", "sha512crypt", password});
  if (hash.exitCode != 0) throw std::runtime_error("mkpasswd: " + hash.err);
  return user + ":" + hash.out.substr(0, hash.out.find('\n'));
}

}  // namespace zeb::test
