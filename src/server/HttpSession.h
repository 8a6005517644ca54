// One client connection: reads HTTP/1.1 requests with Beast's parser, hands each to the
// extension on the thread that read it, and sends back exactly the bytes the extension wrote.
// Keeps the connection alive between requests unless the client asks otherwise.
//
// Life of a connection: [idle wait] -> header -> [100 Continue] -> body -> extension -> write,
// then back to idle wait, or to a lingering close. Every step runs on the session's strand
// under its own time-out. The session owns itself through shared_ptr copies held by its
// pending handlers and dies after the last one.
#pragma once

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/optional.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "server/ExtensionCall.h"
#include "server/ServerOptions.h"

namespace zeb::server {

class ConnectionRegistry;

// Reports a failure on stderr, once per failure. Expected ends of a connection (end of
// stream, cancellation, time-outs, resets) are not failures and print nothing.
void fail(boost::beast::error_code ec, std::string_view what);

class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  // Largest body handed to the extension; a larger one is refused by the extension (413).
  static constexpr std::uint64_t kMaxBodyBytes = 40960;
  // How long a closing connection keeps reading what the client still sends.
  static constexpr std::chrono::seconds kLingerTime{1};

  // The registry must outlive the session; the session removes itself on destruction.
  HttpSession(boost::asio::ip::tcp::socket&& socket, const ServerOptions& options,
              ConnectionRegistry& registry);
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // Starts reading the first request.
  void Start();

  // Ends the session soon: a connection waiting for its next request is closed at once; a
  // request that has begun to arrive is still read and answered, and the connection closed
  // after the response. Thread-safe.
  void Stop();

 private:
  enum class Phase { kIdle, kHeader, kBody, kWriting, kClosing };

  void WaitForRequest();
  void OnIdleRead(boost::beast::error_code ec, std::size_t bytes);
  void ReadHeader();
  void OnHeader(boost::beast::error_code ec, std::size_t bytes);
  void SendContinue();
  void ReadBody();
  void OnBody(boost::beast::error_code ec, std::size_t bytes);
  void Handle(std::uint64_t declaredBytes, bool bodyRead);
  void OnWrite(bool closeAfter, boost::beast::error_code ec, std::size_t bytes);
  void CloseLingering();
  void OnDrain(boost::beast::error_code ec, std::size_t bytes);
  void Close();
  std::string PeerAddress();

  boost::beast::tcp_stream stream_;
  const ServerOptions& options_;
  ConnectionRegistry& registry_;
  const std::string remoteAddress_;
  boost::beast::flat_buffer buffer_;
  boost::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
  std::string response_;          // bytes being written; kept alive until the write completes
  std::array<char, 4096> drain_;  // discarded bytes of a lingering close
  Phase phase_ = Phase::kHeader;
  bool stopping_ = false;
  bool keepAlive_ = false;  // the current request allows another after it
};

}  // namespace zeb::server
