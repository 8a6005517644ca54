#include "server/HttpSession.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <iostream>
#include <limits>

#include "server/ConnectionRegistry.h"

namespace zeb::server {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;

namespace {

constexpr std::size_t kIdleReadBytes = 1024;
constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

bool IsExpectedEnd(beast::error_code ec) {
  return ec == http::error::end_of_stream || ec == net::error::eof || ec == net::error::operation_aborted ||
         ec == beast::error::timeout || ec == net::error::connection_reset || ec == net::error::broken_pipe;
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
  line += '\n';
  std::cerr << line << std::flush;
}

HttpSession::HttpSession(net::ip::tcp::socket&& socket, const ServerOptions& options,
                         ConnectionRegistry& registry)
    : stream_(std::move(socket)), options_(options), registry_(registry), remoteAddress_(PeerAddress()) {}

HttpSession::~HttpSession() { registry_.Remove(this); }

std::string HttpSession::PeerAddress() {
  beast::error_code ec;
  auto address = stream_.socket().remote_endpoint(ec).address();
  if (ec) return "";
  // A dual-stack listener sees IPv4 clients as ::ffff:a.b.c.d; report them as a.b.c.d.
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6()).to_string();
  }
  return address.to_string();
}

void HttpSession::Start() {
  net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->ReadHeader(); });
}

void HttpSession::Stop() {
  net::post(stream_.get_executor(), [self = shared_from_this()] {
    self->stopping_ = true;
    // Only a connection with no request under way is cut; a request that has begun to arrive
    // is read and answered, within the host's shutdown grace.
    bool waiting =
        self->phase_ == Phase::kIdle || (self->phase_ == Phase::kHeader && self->buffer_.size() == 0);
    if (waiting) self->stream_.cancel();
  });
}

// Between requests: wait for the first byte of the next one under the idle time-out; the
// header time-out starts only when it arrives.
void HttpSession::WaitForRequest() {
  if (buffer_.size() > 0) return ReadHeader();
  phase_ = Phase::kIdle;
  stream_.expires_after(options_.idleTimeout);
  stream_.async_read_some(buffer_.prepare(kIdleReadBytes),
                          beast::bind_front_handler(&HttpSession::OnIdleRead, shared_from_this()));
}

void HttpSession::OnIdleRead(beast::error_code ec, std::size_t bytes) {
  buffer_.commit(bytes);
  if (ec) {
    fail(ec, "idle read from " + remoteAddress_);
    return Close();
  }
  ReadHeader();
}

void HttpSession::ReadHeader() {
  phase_ = Phase::kHeader;
  parser_.emplace();
  parser_->header_limit(options_.maxHeaderBytes);
  // No body limit while reading the header: a large Content-Length is answered, not an error.
  // (A maximum, not boost::none: this Beast compares the length with the optional, and any
  // length is greater than none.)
  parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
  stream_.expires_after(options_.headerTimeout);
  http::async_read_header(stream_, buffer_, *parser_,
                          beast::bind_front_handler(&HttpSession::OnHeader, shared_from_this()));
}

void HttpSession::OnHeader(beast::error_code ec, std::size_t /*bytes*/) {
  if (ec) {
    fail(ec, "read header from " + remoteAddress_);
    return Close();
  }
  const auto& request = parser_->get();
  keepAlive_ = request.version() >= 11 && request.keep_alive();
  if (parser_->is_done()) return Handle(0, true);
  auto declared = parser_->content_length();
  if (declared && *declared > kMaxBodyBytes) return Handle(*declared, false);
  parser_->body_limit(kMaxBodyBytes);
  if (beast::iequals(request[http::field::expect], "100-continue")) return SendContinue();
  ReadBody();
}

// Clients that announce a body with "Expect: 100-continue" wait for this interim answer.
void HttpSession::SendContinue() {
  stream_.expires_after(options_.bodyTimeout);
  net::async_write(stream_, net::buffer(kContinue.data(), kContinue.size()),
                   [self = shared_from_this()](beast::error_code ec, std::size_t) {
                     if (ec) {
                       fail(ec, "write 100 Continue to " + self->remoteAddress_);
                       return self->Close();
                     }
                     self->ReadBody();
                   });
}

void HttpSession::ReadBody() {
  phase_ = Phase::kBody;
  stream_.expires_after(options_.bodyTimeout);
  http::async_read(stream_, buffer_, *parser_,
                   beast::bind_front_handler(&HttpSession::OnBody, shared_from_this()));
}

void HttpSession::OnBody(beast::error_code ec, std::size_t /*bytes*/) {
  // A chunked body that grows past the limit: its size is unknown, only that it is too large.
  if (ec == http::error::body_limit) return Handle(kMaxBodyBytes + 1, false);
  if (ec) {
    fail(ec, "read body from " + remoteAddress_);
    return Close();
  }
  Handle(parser_->get().body().size(), true);
}

// Runs the extension synchronously on this thread, then sends what it wrote. A body that was
// not read leaves the connection unusable for another request.
void HttpSession::Handle(std::uint64_t declaredBytes, bool bodyRead) {
  phase_ = Phase::kWriting;
  const auto& request = parser_->get();
  ExtensionRequest call;
  call.method = ToStd(request.method_string());
  call.queryString = QueryOf(request.target());
  call.contentType = ToStd(request[http::field::content_type]);
  call.remoteAddress = remoteAddress_;
  if (bodyRead) call.body = request.body();
  call.declaredBytes = declaredBytes;

  ExtensionResult result = CallExtension(call);
  if (result.threw) fail({}, "extension failed: " + result.error);
  // An error status ends the connection after whatever was written (often nothing).
  bool closeAfter = !bodyRead || !keepAlive_ || result.status == HSE_STATUS_ERROR;
  response_ = std::move(result.response);
  if (response_.empty()) return OnWrite(closeAfter, {}, 0);
  stream_.expires_after(options_.idleTimeout);
  net::async_write(stream_, net::buffer(response_),
                   beast::bind_front_handler(&HttpSession::OnWrite, shared_from_this(), closeAfter));
}

void HttpSession::OnWrite(bool closeAfter, beast::error_code ec, std::size_t /*bytes*/) {
  if (ec) {
    fail(ec, "write response to " + remoteAddress_);
    return Close();
  }
  response_.clear();
  if (closeAfter || stopping_) return CloseLingering();
  WaitForRequest();
}

// Sends FIN and discards what the client still sends until it closes or kLingerTime passes.
// Closing with unread input would make the kernel answer with a reset, which can destroy the
// response before the client has read it.
void HttpSession::CloseLingering() {
  phase_ = Phase::kClosing;
  beast::error_code ec;
  stream_.socket().shutdown(net::ip::tcp::socket::shutdown_send, ec);
  if (ec) return Close();
  stream_.expires_after(kLingerTime);
  stream_.async_read_some(net::buffer(drain_),
                          beast::bind_front_handler(&HttpSession::OnDrain, shared_from_this()));
}

void HttpSession::OnDrain(beast::error_code ec, std::size_t /*bytes*/) {
  if (ec) return Close();
  stream_.async_read_some(net::buffer(drain_),
                          beast::bind_front_handler(&HttpSession::OnDrain, shared_from_this()));
}

void HttpSession::Close() {
  phase_ = Phase::kClosing;
  beast::error_code ec;
  stream_.socket().shutdown(net::ip::tcp::socket::shutdown_both, ec);
  stream_.socket().close(ec);
}

}  // namespace zeb::server
