#include "soap/SecretMask.h"
#include "server/HttpSession.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <iostream>
#include <limits>

#include "server/ServiceDocumentRoute.h"
#include "zdl/base/Durability.h"

namespace zeb::server {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;

namespace {

constexpr std::size_t kIdleReadBytes = 1024;
constexpr std::size_t kKeptResponseBytes = 64 * 1024;
constexpr std::size_t kKeptBodyBytes = 16 * 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
constexpr std::string_view kUnauthorizedBody = "Authentication required.\n";
constexpr std::string_view kInternalErrorBody = "Internal server error.\n";

// A plain-text answer of the host itself: status line, extra headers (each ending in CR LF),
// the body's type and length, and "Connection: close" when closeAfter.
std::string PlainTextResponse(std::string_view statusLine, std::string_view headers, std::string_view body,
                              bool closeAfter) {
  std::string response = std::string(statusLine) + "\r\n" + std::string(headers) +
                         "Content-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  if (closeAfter) response += "Connection: close\r\n";
  return response + "\r\n" + std::string(body);
}

bool IsExpectedEnd(beast::error_code ec) {
  return ec == http::error::end_of_stream || ec == net::error::eof || ec == net::error::operation_aborted ||
         ec == beast::error::timeout || ec == net::error::connection_reset || ec == net::error::broken_pipe ||
         ec.category() == net::error::get_ssl_category() || ec == net::ssl::error::stream_truncated;
}

std::string_view QueryOf(beast::string_view target) {
  auto mark = target.find('?');
  if (mark == beast::string_view::npos) return {};
  return std::string_view(target.data() + mark + 1, target.size() - mark - 1);
}

std::string_view ToStd(beast::string_view text) { return std::string_view(text.data(), text.size()); }

}  // namespace

void fail(beast::error_code ec, std::string_view what) {
  if (ec && IsExpectedEnd(ec)) return;
  std::string line = "zebd: " + std::string(what);
  if (ec) line += ": " + ec.message();
  // A message may quote what a client sent: it is masked as a request's text is.
  line = MaskExchange(std::move(line), {}, false).request + '\n';
  std::cerr << line << std::flush;
}

std::string UnauthorizedResponse(bool closeAfter) {
  return PlainTextResponse("HTTP/1.1 401 Unauthorized", "WWW-Authenticate: Basic realm=\"ZEB API\"\r\n",
                           kUnauthorizedBody, closeAfter);
}

std::string SignInUnavailableResponse(const std::string& reason, bool closeAfter) {
  std::string line = reason;
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return PlainTextResponse("HTTP/1.1 503 Service Unavailable", "", line + "\n", closeAfter);
}

std::string DocumentsForbiddenResponse(const std::string& user, bool closeAfter) {
  return PlainTextResponse("HTTP/1.1 403 Forbidden", "",
                           "User \"" + user + "\" may not read the service documents: they need the read role, and "
                           "the user has no role.\n",
                           closeAfter);
}

// A request that is not HTTP/1.1 as it must be gets a plain answer before the connection is
// closed, so that a client is told what is wrong rather than left with a dropped connection it
// may retry. The extension never sees it, so it leaves no trace record.
std::string MalformedRequestResponse(beast::error_code ec, std::uint64_t headerLimit, Metrics* metrics) {
  const bool headerTooLarge = ec == http::error::header_limit;
  if (metrics) metrics->OnRefusal(headerTooLarge ? 431 : 400);
  if (headerTooLarge) {
    return PlainTextResponse("HTTP/1.1 431 Request Header Fields Too Large", "",
                             "The request header is larger than " + std::to_string(headerLimit) + " bytes.\n", true);
  }
  return PlainTextResponse("HTTP/1.1 400 Bad Request", "", "The request is not valid HTTP: " + ec.message() + ".\n",
                           true);
}

std::string BodyTooLargeResponse(std::uint64_t bodyLimit, Metrics* metrics) {
  if (metrics) metrics->OnRefusal(413);
  return PlainTextResponse("HTTP/1.1 413 Request Entity Too Large", "",
                           "The request body is larger than " + std::to_string(bodyLimit) + " bytes.\n", true);
}

// Errors of the HTTP parser that the client caused by what it sent, not by going away.
bool IsMalformedRequest(beast::error_code ec) {
  if (ec == http::error::header_limit) return true;
  if (ec.category() != beast::error_code(http::error::bad_method).category()) return false;
  const int value = ec.value();
  return value >= static_cast<int>(http::error::bad_line_ending) && value <= static_cast<int>(http::error::bad_obs_fold);
}

std::string InternalErrorResponse(bool closeAfter) {
  return PlainTextResponse("HTTP/1.1 500 Internal Server Error", "", kInternalErrorBody, closeAfter);
}

template <class Stream>
HttpSession<Stream>::HttpSession(Stream&& stream, const SessionServices& services)
    : stream_(std::move(stream)),
      services_(services),
      options_(*services.options),
      remoteAddress_(PeerAddress()),
      localPort_(LocalPort()),
      throttle_(stream_.get_executor()) {}

template <class Stream>
HttpSession<Stream>::~HttpSession() {
  services_.registry->Remove(this);
}

template <class Stream>
std::string HttpSession<Stream>::PeerAddress() {
  beast::error_code ec;
  auto address = Lowest().remote_endpoint(ec).address();
  if (ec) return "";
  // A dual-stack listener sees IPv4 clients as ::ffff:a.b.c.d; report them as a.b.c.d.
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6()).to_string();
  }
  return address.to_string();
}

template <class Stream>
unsigned short HttpSession<Stream>::LocalPort() {
  beast::error_code ignored;
  return Lowest().local_endpoint(ignored).port();
}

template <class Stream>
void HttpSession<Stream>::Start() {
  net::dispatch(stream_.get_executor(), [self = this->shared_from_this()] {
    if constexpr (kTls) {
      self->Handshake();
    } else {
      self->ReadHeader();
    }
  });
}

template <class Stream>
void HttpSession<Stream>::Stop() {
  net::post(stream_.get_executor(), [self = this->shared_from_this()] {
    self->stopping_ = true;
    // Only a connection with no request under way is cut; a request that has begun to arrive
    // is read and answered, within the host's shutdown grace.
    Phase phase = self->phase_;
    bool waiting = phase == Phase::kHandshake || phase == Phase::kIdle ||
                   (phase == Phase::kHeader && self->buffer_.size() == 0);
    if (waiting) self->Lowest().cancel();
    if (phase == Phase::kThrottled) self->throttle_.cancel();
  });
}

template <class Stream>
void HttpSession<Stream>::Expire() {
  net::post(stream_.get_executor(), [self = this->shared_from_this()] {
    // The connection may have moved on to another step since the sweep looked.
    const std::int64_t due = self->deadline.load(std::memory_order_relaxed);
    if (due == 0 || due > std::chrono::steady_clock::now().time_since_epoch().count()) return;
    self->Close();
  });
}

template <class Stream>
void HttpSession<Stream>::Arm(std::chrono::steady_clock::duration limit) {
  deadline.store((std::chrono::steady_clock::now() + limit).time_since_epoch().count(),
                 std::memory_order_relaxed);
}

// The handshake counts against the header time-out: a client that stalls in it is a client
// that stalls before its header.
template <class Stream>
void HttpSession<Stream>::Handshake() {
  if constexpr (kTls) {
    phase_ = Phase::kHandshake;
    Arm(options_.headerTimeout);
    stream_.async_handshake(net::ssl::stream_base::server,
                            beast::bind_front_handler(&HttpSession::OnHandshake, this->shared_from_this()));
  }
}

template <class Stream>
void HttpSession<Stream>::OnHandshake(beast::error_code ec) {
  if (ec) {
    if (services_.metrics) services_.metrics->OnTlsHandshakeFailure();
    fail(ec, "TLS handshake with " + remoteAddress_);
    return Close();
  }
  ReadHeader();
}

// Between requests: wait for the first byte of the next one under the idle time-out; the
// header time-out starts only when it arrives.
template <class Stream>
void HttpSession<Stream>::WaitForRequest() {
  if (buffer_.size() > 0) return ReadHeader();
  phase_ = Phase::kIdle;
  const auto now = std::chrono::steady_clock::now();
  idleSince.store(now.time_since_epoch().count(), std::memory_order_relaxed);
  deadline.store((now + options_.idleTimeout).time_since_epoch().count(), std::memory_order_relaxed);
  stream_.async_read_some(buffer_.prepare(kIdleReadBytes),
                          beast::bind_front_handler(&HttpSession::OnIdleRead, this->shared_from_this()));
}

template <class Stream>
void HttpSession<Stream>::OnIdleRead(beast::error_code ec, std::size_t bytes) {
  idleSince.store(0, std::memory_order_relaxed);
  buffer_.commit(bytes);
  if (ec) {
    fail(ec, "idle read from " + remoteAddress_);
    return Close();
  }
  ReadHeader();
}

template <class Stream>
void HttpSession<Stream>::ReadHeader() {
  phase_ = Phase::kHeader;
  if (parser_) {
    body_ = std::move(parser_->get().body());
    parser_.reset();
  }
  // The string a body is read into is kept for the next request when it is of a usual size.
  if (body_.capacity() > kKeptBodyBytes) std::string().swap(body_);
  body_.clear();
  arena_.Reset();
  parser_.emplace(std::piecewise_construct, std::forward_as_tuple(std::move(body_)),
                  std::make_tuple(ArenaAllocator<char>(arena_)));
  parser_->header_limit(options_.maxHeaderBytes);
  // No body limit while reading the header: a large Content-Length is answered, not an error.
  // (A maximum, not boost::none: this Beast compares the length with the optional, and any
  // length is greater than none.)
  parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
  Arm(options_.headerTimeout);
  http::async_read_header(stream_, buffer_, *parser_,
                          beast::bind_front_handler(&HttpSession::OnHeader, this->shared_from_this()));
}

template <class Stream>
void HttpSession<Stream>::OnHeader(beast::error_code ec, std::size_t /*bytes*/) {
  if (ec) {
    if (IsMalformedRequest(ec)) return RefuseMalformed(ec);
    fail(ec, "read header from " + remoteAddress_);
    return Close();
  }
  const auto& request = parser_->get();
  keepAlive_ = request.version() >= 11 && request.keep_alive();
  user_.clear();
  signInRole_.reset();
  unavailable_.clear();
  if (services_.authenticator == nullptr) return Admit(true);
  Authenticate();
}

// Credentials are settled before the body is read and before the extension could take a
// request ID: a refused request leaves no trace record.
template <class Stream>
void HttpSession<Stream>::Authenticate() {
  const auto& request = parser_->get();
  std::string_view value;
  const std::string_view* authorization = nullptr;
  // Two Authorization fields are ambiguous; such a request is treated as one without any.
  if (request.count(http::field::authorization) == 1) {
    value = ToStd(request[http::field::authorization]);
    authorization = &value;
  }
  auto now = Authenticator::Clock::now();
  Authenticator::Attempt attempt = services_.authenticator->Begin(authorization, remoteAddress_, now);
  switch (attempt.verdict) {
    case Authenticator::Verdict::kAccepted:
      user_ = std::move(attempt.user);
      signInRole_ = attempt.role;
      return Admit(true);
    case Authenticator::Verdict::kRefused:
      return Admit(false);
    case Authenticator::Verdict::kCheck:
      break;
  }
  if (attempt.notBefore <= now) return CheckPassword(std::move(attempt));
  // An address with recent failures waits its turn on a timer; the worker thread moves on.
  phase_ = Phase::kThrottled;
  Disarm();
  throttle_.expires_at(attempt.notBefore);
  throttle_.async_wait(
      [self = this->shared_from_this(), attempt = std::move(attempt)](beast::error_code ec) mutable {
        if (ec) return self->Close();
        self->CheckPassword(std::move(attempt));
      });
}

// The hash is computed (or the directory asked) on the check pool, so that its deliberate
// slowness does not hold up the I/O threads; the outcome comes back to the session's strand.
template <class Stream>
void HttpSession<Stream>::CheckPassword(Authenticator::Attempt attempt) {
  phase_ = Phase::kChecking;
  Disarm();
  net::post(*services_.checkPool, [self = this->shared_from_this(), attempt = std::move(attempt)]() mutable {
    Authenticator::CheckResult result = Authenticator::Verify(attempt);
    net::post(self->stream_.get_executor(), [self, attempt = std::move(attempt), result = std::move(result)] {
      self->OnChecked(attempt, result);
    });
  });
}

template <class Stream>
void HttpSession<Stream>::OnChecked(const Authenticator::Attempt& attempt,
                                    const Authenticator::CheckResult& result) {
  services_.authenticator->Finish(attempt, result, remoteAddress_, Authenticator::Clock::now());
  if (result.outcome == Authenticator::CheckResult::Outcome::kUnavailable) {
    // Never a sign-in: the request is answered 503 with the reason.
    fail({}, "sign-in of '" + attempt.user + "' from " + remoteAddress_ + " not checked: " + result.reason);
    unavailable_ = result.reason.empty() ? "The directory cannot be used." : result.reason;
    return Admit(false);
  }
  if (!result.passed()) {
    if (services_.metrics) services_.metrics->OnAuthenticationFailure();
    // A name the auth file does not know may be a password typed into the user field.
    const std::string who = result.knownUser ? "'" + attempt.user + "'" : "an unknown user";
    fail({}, "authentication of " + who + " from " + remoteAddress_ + " failed");
    return Admit(false);
  }
  user_ = attempt.user;
  signInRole_ = result.role;
  Admit(true);
}

// Goes on with the request once its credentials are settled. A refused request's body is still
// read when it is small and already on its way, so that the connection can carry the retry.
template <class Stream>
void HttpSession<Stream>::Admit(bool authorized) {
  authorized_ = authorized;
  if (parser_->is_done()) return Handle(0, true);
  auto declared = parser_->content_length();
  if (declared && *declared > kMaxBodyBytes) return Handle(*declared, false);
  parser_->body_limit(kMaxBodyBytes);
  if (beast::iequals(parser_->get()[http::field::expect], "100-continue")) {
    // A refused client is not invited to send its body.
    if (!authorized_) return Handle(declared.value_or(0), false);
    return SendContinue();
  }
  ReadBody();
}

template <class Stream>
void HttpSession<Stream>::RefuseMalformed(beast::error_code ec) {
  phase_ = Phase::kWriting;
  Respond(MalformedRequestResponse(ec, options_.maxHeaderBytes, services_.metrics), true);
}

// Clients that announce a body with "Expect: 100-continue" wait for this interim answer.
template <class Stream>
void HttpSession<Stream>::SendContinue() {
  Arm(options_.bodyTimeout);
  net::async_write(stream_, net::buffer(kContinue.data(), kContinue.size()),
                   [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                     if (ec) {
                       fail(ec, "write 100 Continue to " + self->remoteAddress_);
                       return self->Close();
                     }
                     self->ReadBody();
                   });
}

template <class Stream>
void HttpSession<Stream>::ReadBody() {
  phase_ = Phase::kBody;
  Arm(options_.bodyTimeout);
  http::async_read(stream_, buffer_, *parser_,
                   beast::bind_front_handler(&HttpSession::OnBody, this->shared_from_this()));
}

template <class Stream>
void HttpSession<Stream>::OnBody(beast::error_code ec, std::size_t /*bytes*/) {
  // A chunked body that grows past the limit: its size is unknown, only that it is too large.
  if (ec == http::error::body_limit) return Handle(kMaxBodyBytes + 1, false);
  // The client ended its side before the body it declared was complete: the request goes on
  // with a body that did not arrive whole, which is answered 413 (and traced) before the close.
  if (ec == http::error::partial_message) {
    const auto declared = parser_->content_length();
    return Handle(declared ? *declared : kMaxBodyBytes + 1, false);
  }
  if (ec) {
    // A chunked body whose framing is broken.
    if (IsMalformedRequest(ec)) return RefuseMalformed(ec);
    fail(ec, "read body from " + remoteAddress_);
    return Close();
  }
  Handle(parser_->get().body().size(), true);
}

// Answers a request for a service document from memory; runs the extension synchronously on
// this thread for any other request, then sends what it wrote. A request without
// valid credentials gets the 401 answer instead. A body that was not read leaves the connection
// unusable for another request.
template <class Stream>
void HttpSession<Stream>::Handle(std::uint64_t declaredBytes, bool bodyRead) {
  phase_ = Phase::kWriting;
  bool closeAfter = !bodyRead || !keepAlive_;
  if (!authorized_ && !unavailable_.empty()) {
    if (services_.metrics) services_.metrics->OnRefusal(503);
    return Respond(SignInUnavailableResponse(unavailable_, closeAfter), closeAfter);
  }
  if (!authorized_) {
    if (services_.metrics) services_.metrics->OnRefusal(401);
    return Respond(UnauthorizedResponse(closeAfter), closeAfter);
  }

  const auto& request = parser_->get();
  const Grant grant = services_.access ? services_.access->For(user_, signInRole_) : Grant();
  const DocumentRequest documentRequest = DocumentRequestOf(request, kTls, localPort_);
  if (grant.role == RoleName(Role::kNone) && IsDocumentRequest(documentRequest)) {
    return Respond(DocumentsForbiddenResponse(user_, closeAfter), closeAfter);
  }
  if (auto document = AnswerDocumentRequest(documentRequest)) {
    return Respond(std::move(*document), closeAfter);
  }
  ExtensionRequest call;
  call.method = ToStd(request.method_string());
  call.queryString = QueryOf(request.target());
  call.contentType = ToStd(request[http::field::content_type]);
  call.remoteAddress = remoteAddress_;
  call.remoteUser = user_;
  if (bodyRead) call.body = request.body();
  call.role = grant.role;
  call.rateLimit = grant.rateLimit;
  call.writeRateLimit = grant.writeRateLimit;
  call.soapAction = ToStd(request["SOAPAction"]);
  call.authorization = ToStd(request[http::field::authorization]);
  call.forwardedBy = ToStd(request["X-Zeb-Forwarded-By"]);
  call.declaredBytes = declaredBytes;

  // An answer that tells of a commit goes out once a sync has made the commit durable; the thread
  // does not wait for that sync but serves other connections meanwhile.
  zdl::DeferredDurability durability;
  const ExtensionResult result = CallExtension(call, response_);
  if (result.threw) {
    // The request was read whole, so the connection can serve the next one.
    fail({}, "extension failed: " + result.error);
    return Respond(InternalErrorResponse(closeAfter), closeAfter);
  }
  // An error status ends the connection after whatever was written (often nothing).
  closeAfter = closeAfter || result.status == HSE_STATUS_ERROR;
  if (!durability.pending()) return Send(closeAfter);
  durability.Then([self = this->shared_from_this(), closeAfter](bool durable) {
    net::post(self->stream_.get_executor(), [self, closeAfter, durable] {
      if (durable) return self->Send(closeAfter);
      // The answer would tell of a write that a power loss may still undo.
      fail({}, "answer withheld: the write-ahead log could not be synced");
      self->Respond(InternalErrorResponse(true), true);
    });
  });
}

template <class Stream>
void HttpSession<Stream>::Respond(std::string response, bool closeAfter) {
  response_ = std::move(response);
  Send(closeAfter);
}

template <class Stream>
void HttpSession<Stream>::Send(bool closeAfter) {
  if (response_.empty()) return OnWrite(closeAfter, {}, 0);
  Arm(options_.writeTimeout);
  net::async_write(stream_, net::buffer(response_),
                   beast::bind_front_handler(&HttpSession::OnWrite, this->shared_from_this(), closeAfter));
}

template <class Stream>
void HttpSession<Stream>::OnWrite(bool closeAfter, beast::error_code ec, std::size_t /*bytes*/) {
  if (ec) {
    fail(ec, "write response to " + remoteAddress_);
    return Close();
  }
  // The buffer a connection keeps is that of a usual response, not of its largest.
  if (response_.capacity() > kKeptResponseBytes) {
    std::string().swap(response_);
  } else {
    response_.clear();
  }
  if (closeAfter || stopping_) return CloseLingering();
  WaitForRequest();
}

// A TLS connection first says goodbye in TLS (close_notify), waiting a moment for the
// client's own; then both kinds close their TCP side gently.
template <class Stream>
void HttpSession<Stream>::CloseLingering() {
  phase_ = Phase::kClosing;
  if constexpr (kTls) {
    Arm(kLingerTime);
    stream_.async_shutdown(
        [self = this->shared_from_this()](beast::error_code) { self->CloseTcpLingering(); });
  } else {
    CloseTcpLingering();
  }
}

// Sends FIN and discards what the client still sends until it closes or kLingerTime passes.
// Closing with unread input would make the kernel answer with a reset, which can destroy the
// response before the client has read it.
template <class Stream>
void HttpSession<Stream>::CloseTcpLingering() {
  beast::error_code ec;
  Lowest().shutdown(net::ip::tcp::socket::shutdown_send, ec);
  if (ec) return Close();
  Arm(kLingerTime);
  Lowest().async_read_some(net::buffer(drain_),
                           beast::bind_front_handler(&HttpSession::OnDrain, this->shared_from_this()));
}

template <class Stream>
void HttpSession<Stream>::OnDrain(beast::error_code ec, std::size_t /*bytes*/) {
  if (ec) return Close();
  Lowest().async_read_some(net::buffer(drain_),
                           beast::bind_front_handler(&HttpSession::OnDrain, this->shared_from_this()));
}

template <class Stream>
void HttpSession<Stream>::Close() {
  phase_ = Phase::kClosing;
  Disarm();
  beast::error_code ec;
  Lowest().shutdown(net::ip::tcp::socket::shutdown_both, ec);
  Lowest().close(ec);
}

template class HttpSession<PlainConnection>;
template class HttpSession<TlsConnection>;

}  // namespace zeb::server
