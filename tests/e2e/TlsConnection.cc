#include "e2e/TlsConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace zeb::test {

namespace {

using Clock = std::chrono::steady_clock;

int ConnectLoopback(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket: " + std::string(strerror(errno)));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::string error = strerror(errno);
    close(fd);
    throw std::runtime_error("connect: " + error);
  }
  int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

}  // namespace

TlsConnection::TlsConnection(int port, const std::string& caFile) {
  context_ = SSL_CTX_new(TLS_client_method());
  if (context_ == nullptr || SSL_CTX_load_verify_locations(context_, caFile.c_str(), nullptr) != 1) {
    SSL_CTX_free(context_);
    throw std::runtime_error("cannot make a TLS client context trusting " + caFile);
  }
  SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
  try {
    fd_ = ConnectLoopback(port);
  } catch (...) {
    SSL_CTX_free(context_);
    throw;
  }
  ssl_ = SSL_new(context_);
  SSL_set_fd(ssl_, fd_);
  SSL_set1_host(ssl_, "127.0.0.1");
  if (SSL_connect(ssl_) != 1) {
    SSL_free(ssl_);
    SSL_CTX_free(context_);
    close(fd_);
    throw std::runtime_error("TLS handshake with port " + std::to_string(port) + " failed");
  }
}

TlsConnection::~TlsConnection() {
  SSL_free(ssl_);
  SSL_CTX_free(context_);
  close(fd_);
}

bool TlsConnection::Send(std::string_view bytes) {
  checker_.Sent(bytes);
  while (!bytes.empty()) {
    int n = SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()));
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool TlsConnection::ReceiveMore(Clock::time_point deadline) {
  if (closed_) return false;
  for (;;) {
    // Decrypted bytes may already wait inside the TLS layer, where poll cannot see them.
    if (SSL_pending(ssl_) == 0) {
      auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
      pollfd p{fd_, POLLIN, 0};
      int ready = poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;
    }
    char buf[16384];
    int n = SSL_read(ssl_, buf, sizeof buf);
    if (n > 0) {
      pending_.append(buf, static_cast<std::size_t>(n));
      return true;
    }
    // A TLS 1.3 session ticket is read without application data: try again.
    if (SSL_get_error(ssl_, n) == SSL_ERROR_WANT_READ) continue;
    closed_ = true;
    return false;
  }
}

std::string TlsConnection::ReadResponse(Millis timeout) {
  auto deadline = Clock::now() + timeout;
  std::size_t headerEnd;
  while ((headerEnd = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!ReceiveMore(deadline)) return std::exchange(pending_, std::string());
  }
  std::size_t length = 0;
  if (auto at = pending_.find("Content-Length: "); at != std::string::npos && at < headerEnd)
    length = std::strtoul(pending_.c_str() + at + 16, nullptr, 10);
  std::size_t total = headerEnd + 4 + length;
  while (pending_.size() < total) {
    if (!ReceiveMore(deadline)) return std::exchange(pending_, std::string());
  }
  std::string response = pending_.substr(0, total);
  pending_.erase(0, total);
  checker_.Received(response);
  return response;
}

bool TlsConnection::WaitClosed(Millis timeout) {
  auto deadline = Clock::now() + timeout;
  while (ReceiveMore(deadline)) pending_.clear();
  return closed_;
}

}  // namespace zeb::test
