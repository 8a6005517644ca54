// One client connection: reads HTTP/1.1 requests with Beast's parser, checks the client's
// credentials when the host asks for them, hands each admitted request to the extension on the
// thread that read it, and sends back exactly the bytes the extension wrote. Keeps the
// connection alive between requests unless the client asks otherwise.
//
// Life of a connection: [TLS handshake] -> [idle wait] -> header -> [credentials] ->
// [100 Continue] -> body -> extension (or 401) -> write, then back to idle wait, or to a
// lingering close. Every step runs on the session's strand under its own time-out: a step sets
// the connection's deadline, and the host's sweep closes the connections whose deadline has
// passed (a step arms no timer of its own). The session owns itself through shared_ptr copies
// held by its pending handlers and dies after the last one.
#pragma once

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <boost/optional.hpp>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/AccessPolicy.h"
#include "server/Authenticator.h"
#include "server/ConnectionRegistry.h"
#include "server/ExtensionCall.h"
#include "server/Metrics.h"
#include "server/RequestArena.h"
#include "server/ServerOptions.h"

namespace zeb::server {

// Reports a failure on stderr, once per failure. Expected ends of a connection (end of
// stream, cancellation, time-outs, resets, failed TLS handshakes) are not failures and print
// nothing.
void fail(boost::beast::error_code ec, std::string_view what);

// What the sessions of one host share. The host owns all of it and outlives its sessions.
struct SessionServices {
  const ServerOptions* options = nullptr;
  ConnectionRegistry* registry = nullptr;
  Authenticator* authenticator = nullptr;         // nullptr: requests need no credentials
  boost::asio::thread_pool* checkPool = nullptr;  // runs password checks when authenticator is set
  Metrics* metrics = nullptr;                     // nullptr: nothing is counted
  AccessPolicy* access = nullptr;                 // nullptr: every caller may call everything
};

using PlainStream = boost::beast::tcp_stream;
using TlsStream = boost::beast::ssl_stream<boost::beast::tcp_stream>;

// A connection of the host runs on a strand of its loop. The strand is named by its own type, so
// that no step of a request goes through a type-erased executor (and its copies).
using ConnectionExecutor = boost::asio::strand<boost::asio::io_context::executor_type>;
using ConnectionSocket = boost::asio::ip::tcp::socket::rebind_executor<ConnectionExecutor>::other;
using PlainConnection = ConnectionSocket;
using TlsConnection = boost::beast::ssl_stream<ConnectionSocket>;

// The host's answer to a request without valid credentials. closeAfter adds
// "Connection: close".
std::string UnauthorizedResponse(bool closeAfter);
// The host's answer to a request whose credentials could not be checked because the directory
// cannot be used: reason in one line. closeAfter adds "Connection: close".
std::string SignInUnavailableResponse(const std::string& reason, bool closeAfter);
// The host's answer to a request for a service document by a user without a role.
std::string DocumentsForbiddenResponse(const std::string& user, bool closeAfter);
// The host's answer to a request whose extension call ended in an exception (nothing the
// extension wrote is sent). closeAfter adds "Connection: close".
std::string InternalErrorResponse(bool closeAfter);
// True when the HTTP parser's error ec was caused by what the client sent (a request that is
// not valid HTTP, or a header over the limit), not by a connection that went away.
bool IsMalformedRequest(boost::beast::error_code ec);
// The answer to such a request, which closes the connection: 431 when ec is the header limit
// (headerLimit bytes), otherwise 400 with the parser's reason. Counts it in metrics, if any.
std::string MalformedRequestResponse(boost::beast::error_code ec, std::uint64_t headerLimit, Metrics* metrics);
// The answer to a request whose body passes bodyLimit bytes on a listener that takes no such
// body, which closes the connection: 413. Counts it in metrics, if any.
std::string BodyTooLargeResponse(std::uint64_t bodyLimit, Metrics* metrics);

// Stream is PlainConnection or TlsConnection.
template <class Stream>
class HttpSession : public Connection, public std::enable_shared_from_this<HttpSession<Stream>> {
 public:
  // Largest body handed to the extension; a larger one is refused by the extension (413).
  static constexpr std::uint64_t kMaxBodyBytes = 40960;
  // How long a closing connection keeps reading what the client still sends.
  static constexpr std::chrono::seconds kLingerTime{1};

  // stream wraps the accepted socket (and the TLS context). The services must outlive the
  // session; the session removes itself from the registry on destruction.
  HttpSession(Stream&& stream, const SessionServices& services);
  ~HttpSession() override;
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  const std::string& remoteAddress() const { return remoteAddress_; }

  // Starts the TLS handshake, or reading the first request.
  void Start();

  // Ends the session soon: a connection waiting for its next request (or for its handshake,
  // or for its turn to have a password checked) is closed at once; a request that has begun to
  // arrive is still read and answered, and the connection closed after the response.
  // Thread-safe.
  void Stop() override;

  // Closes the connection when its deadline has passed. Thread-safe.
  void Expire() override;

 private:
  enum class Phase { kHandshake, kIdle, kHeader, kThrottled, kChecking, kBody, kWriting, kClosing };
  static constexpr bool kTls = std::is_same_v<Stream, TlsConnection>;

  ConnectionSocket& Lowest() { return boost::beast::get_lowest_layer(stream_); }
  // The current step must end within limit from now.
  void Arm(std::chrono::steady_clock::duration limit);
  // The current step waits for nothing with a time limit.
  void Disarm() { deadline.store(0, std::memory_order_relaxed); }
  void Handshake();
  void OnHandshake(boost::beast::error_code ec);
  void WaitForRequest();
  void OnIdleRead(boost::beast::error_code ec, std::size_t bytes);
  void ReadHeader();
  // Answers a request the HTTP parser refused with 400 (431 for a header too large) and closes.
  void RefuseMalformed(boost::beast::error_code ec);
  void OnHeader(boost::beast::error_code ec, std::size_t bytes);
  void Authenticate();
  void CheckPassword(Authenticator::Attempt attempt);
  void OnChecked(const Authenticator::Attempt& attempt, const Authenticator::CheckResult& result);
  void Admit(bool authorized);
  void SendContinue();
  void ReadBody();
  void OnBody(boost::beast::error_code ec, std::size_t bytes);
  void Handle(std::uint64_t declaredBytes, bool bodyRead);
  // Sends response (an answer of the host itself), then goes on as Send does.
  void Respond(std::string response, bool closeAfter);
  // Sends response_, then closes the connection when closeAfter, else waits for the next request.
  void Send(bool closeAfter);
  void OnWrite(bool closeAfter, boost::beast::error_code ec, std::size_t bytes);
  void CloseLingering();
  void CloseTcpLingering();
  void OnDrain(boost::beast::error_code ec, std::size_t bytes);
  void Close();
  std::string PeerAddress();
  unsigned short LocalPort();

  Stream stream_;
  const SessionServices& services_;
  const ServerOptions& options_;
  const std::string remoteAddress_;
  const unsigned short localPort_;      // asked once: a connection's local port never changes
  // Holds back a password check from a failing address.
  boost::asio::basic_waitable_timer<std::chrono::steady_clock, boost::asio::wait_traits<std::chrono::steady_clock>,
                                    ConnectionExecutor>
      throttle_;
  using Parser = boost::beast::http::request_parser<boost::beast::http::string_body, ArenaAllocator<char>>;

  boost::beast::flat_buffer buffer_;
  // The fields of the current request's header live in arena_; its body's string is handed from
  // one request's parser to the next, with its capacity (a parser is good for one request only).
  RequestArena arena_;
  boost::optional<Parser> parser_;
  std::string body_;
  // Bytes being written; kept alive until the write completes, and its capacity kept for the
  // next response.
  std::string response_;
  std::array<char, 4096> drain_;  // discarded bytes of a lingering close
  Phase phase_ = Phase::kHeader;
  bool stopping_ = false;
  bool keepAlive_ = false;   // the current request allows another after it
  bool authorized_ = false;  // the current request may reach the extension
  std::string user_;         // who sent the current request; "" without authentication
  std::optional<Role> signInRole_;  // the role the directory gave user_ at sign-in
  std::string unavailable_;  // why the current request's credentials could not be checked
};

extern template class HttpSession<PlainConnection>;
extern template class HttpSession<TlsConnection>;

}  // namespace zeb::server
