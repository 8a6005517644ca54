#include "server/PrimaryClient.h"

#include <openssl/ssl.h>
#include <sys/socket.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <cerrno>
#include <optional>
#include <stdexcept>

#include "server/ClientTls.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/DatabaseWait.h"

namespace zeb::server {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

struct PrimaryClient::Connection {
  net::io_context ioc;
  std::optional<beast::tcp_stream> plain;
  std::optional<beast::ssl_stream<beast::tcp_stream>> secure;
  Clock::time_point idleSince;

  beast::tcp_stream& lowest() { return secure ? beast::get_lowest_layer(*secure) : *plain; }
};

namespace {

// Counts the threads waiting on the primary's node, as on a database server: its thread's
// other connections are served meanwhile, and a hung primary holds only so many threads.
zdl::BackEndGate& PrimaryGate() {
  static zdl::BackEndGate gate("The primary node is busy or unreachable (too many requests are waiting for it).",
                               zdl::CZDLException::Origin::kDatabase);
  return gate;
}

// Runs the connection's context until the operation started on it has ended.
void RunToEnd(PrimaryClient::Connection& connection) {
  connection.ioc.restart();
  connection.ioc.run();
}

// Header fields that belong to one connection, not to the answer.
bool HopByHop(http::field field) {
  switch (field) {
    case http::field::connection:
    case http::field::keep_alive:
    case http::field::transfer_encoding:
    case http::field::te:
    case http::field::trailer:
    case http::field::upgrade:
    case http::field::proxy_connection:
      return true;
    default:
      return false;
  }
}

// The answer as our own front end writes it: status line and the primary's end-to-end header
// fields in their order, Content-Length where the primary had it (else last), then the body.
std::string Relayed(const http::response<http::string_body>& answer) {
  std::string text = "HTTP/1.1 " + std::to_string(answer.result_int()) + " " + std::string(answer.reason()) + "\r\n";
  const std::string length = "Content-Length: " + std::to_string(answer.body().size()) + "\r\n";
  bool lengthWritten = false;
  for (const auto& field : answer) {
    if (HopByHop(field.name())) continue;
    if (field.name() == http::field::content_length) {
      text += length;
      lengthWritten = true;
      continue;
    }
    text += std::string(field.name_string()) + ": " + std::string(field.value()) + "\r\n";
  }
  if (!lengthWritten) text += length;
  return text + "\r\n" + answer.body();
}

// A kept-alive connection the primary had closed: it failed before any byte of an answer.
struct StaleConnection {
  ForwardFailure failure;
};

// An idle connection is usable while the primary has neither closed it nor sent anything on
// it (a TLS close_notify, say).
bool StillOpen(PrimaryClient::Connection& connection) {
  char byte;
  const ssize_t got = recv(connection.lowest().socket().native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

bool Lost(const beast::error_code& ec) {
  return ec == http::error::end_of_stream || ec == net::error::eof || ec == net::error::connection_reset ||
         ec == net::error::broken_pipe || ec == net::ssl::error::stream_truncated;
}

}  // namespace

PrimaryClient::PrimaryClient(const std::string& url, const std::string& caFile) : url_(url) {
  std::string rest;
  if (url.rfind("http://", 0) == 0) {
    rest = url.substr(7);
  } else if (url.rfind("https://", 0) == 0) {
    rest = url.substr(8);
    tls_ = true;
  } else {
    throw std::runtime_error("--primary-url " + url + ": not an http:// or https:// URL");
  }
  const std::size_t slash = rest.find('/');
  target_ = slash == std::string::npos ? "/" : rest.substr(slash);
  std::string authority = rest.substr(0, slash);
  if (authority.empty() || authority.find('@') != std::string::npos)
    throw std::runtime_error("--primary-url " + url + ": needs a host (and no user in the URL)");
  const std::size_t colon = authority.rfind(':');
  const bool bracketed = authority.front() == '[';
  if (colon != std::string::npos && (!bracketed || authority[colon - 1] == ']')) {
    port_ = authority.substr(colon + 1);
    authority.resize(colon);
  } else {
    port_ = tls_ ? "443" : "80";
  }
  if (bracketed && authority.size() > 2 && authority.back() == ']') authority = authority.substr(1, authority.size() - 2);
  host_ = authority;
  if (host_.empty() || port_.empty() || port_.find_first_not_of("0123456789") != std::string::npos)
    throw std::runtime_error("--primary-url " + url + ": needs HOST or HOST:PORT");
  if (!tls_) return;
  beast::error_code ec;
  tlsContext_ = MakeClientTlsContext(caFile, ec);
  if (ec) throw std::runtime_error("--primary-ca " + (caFile.empty() ? "(system store)" : caFile) + ": " + ec.message());
}

PrimaryClient::~PrimaryClient() = default;

std::unique_ptr<PrimaryClient::Connection> PrimaryClient::TakeIdle() {
  std::lock_guard<std::mutex> lock(mutex_);
  while (!idle_.empty()) {
    std::unique_ptr<Connection> connection = std::move(idle_.back());
    idle_.pop_back();
    if (Clock::now() - connection->idleSince < kMaxIdle && StillOpen(*connection)) return connection;
  }
  return nullptr;
}

void PrimaryClient::GiveBack(std::unique_ptr<Connection> connection) {
  connection->idleSince = Clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  if (idle_.size() >= kMaxIdleConnections) idle_.erase(idle_.begin());
  idle_.push_back(std::move(connection));
}

std::unique_ptr<PrimaryClient::Connection> PrimaryClient::Open(Clock::time_point deadline) {
  auto connection = std::make_unique<Connection>();
  beast::error_code ec;
  tcp::resolver resolver(connection->ioc);
  tcp::resolver::results_type addresses;
  resolver.async_resolve(host_, port_, [&](beast::error_code e, tcp::resolver::results_type r) {
    ec = e;
    addresses = std::move(r);
  });
  connection->ioc.run_until(deadline);
  if (!connection->ioc.stopped()) {
    resolver.cancel();
    RunToEnd(*connection);
    throw ForwardFailure("cannot resolve " + host_ + " in time", false);
  }
  if (ec) throw ForwardFailure("cannot resolve " + host_ + ": " + ec.message(), false);
  if (tls_) {
    connection->secure.emplace(connection->ioc, *tlsContext_);
  } else {
    connection->plain.emplace(connection->ioc);
  }
  connection->lowest().expires_at(deadline);
  connection->lowest().async_connect(addresses, [&](beast::error_code e, const tcp::endpoint&) { ec = e; });
  RunToEnd(*connection);
  if (ec) throw ForwardFailure("cannot connect to " + host_ + ":" + port_ + ": " + ec.message(), false);
  if (!tls_) return connection;
  // The name the certificate must carry, and the one the server is asked for.
  SSL* handle = connection->secure->native_handle();
  beast::error_code notAnAddress;
  net::ip::make_address(host_, notAnAddress);
  const bool named = notAnAddress.failed();
  if (named ? !SSL_set_tlsext_host_name(handle, host_.c_str()) || !SSL_set1_host(handle, host_.c_str())
            : !X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(handle), host_.c_str()))
    throw ForwardFailure("cannot set up TLS for " + host_, false);
  connection->secure->async_handshake(ssl::stream_base::client, [&](beast::error_code e) { ec = e; });
  RunToEnd(*connection);
  if (ec) throw ForwardFailure("TLS handshake with " + host_ + ":" + port_ + " failed: " + ec.message(), false);
  return connection;
}

std::string PrimaryClient::Exchange(Connection& connection, const ForwardedRequest& request,
                                    Clock::time_point deadline, bool* keepAlive) {
  http::request<http::string_body> message(http::verb::post, target_, 11);
  message.set(http::field::host, host_ + ":" + port_);
  message.set(http::field::content_type, request.contentType);
  if (!request.soapAction.empty()) message.set("SOAPAction", request.soapAction);
  if (!request.authorization.empty()) message.set(http::field::authorization, request.authorization);
  message.set("X-Zeb-Forwarded-By", request.forwardedBy);
  message.body() = std::string(request.body);
  message.prepare_payload();
  message.keep_alive(true);

  beast::error_code ec;
  auto done = [&](beast::error_code e, std::size_t) { ec = e; };
  connection.lowest().expires_at(deadline);
  if (connection.secure) {
    http::async_write(*connection.secure, message, done);
  } else {
    http::async_write(*connection.plain, message, done);
  }
  RunToEnd(connection);
  if (ec) {
    // A request cut off while being sent is not run by the primary.
    ForwardFailure failure("cannot send to " + host_ + ":" + port_ + ": " + ec.message(), false);
    if (Lost(ec)) throw StaleConnection{failure};
    throw failure;
  }

  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(kMaxAnswerBytes);
  if (connection.secure) {
    http::async_read(*connection.secure, buffer, parser, done);
  } else {
    http::async_read(*connection.plain, buffer, parser, done);
  }
  RunToEnd(connection);
  if (ec == beast::error::timeout) throw ForwardFailure("no answer within the request's time limit", true);
  // The request was sent whole: the primary may have run it, so it is not sent again.
  if (ec && Lost(ec) && !parser.got_some()) throw ForwardFailure("the connection was closed", true);
  if (ec) throw ForwardFailure(ec.message(), true);
  *keepAlive = parser.get().keep_alive();
  return Relayed(parser.get());
}

std::string PrimaryClient::Forward(const ForwardedRequest& request) {
  std::optional<zdl::BackEndGate::Wait> wait;
  try {
    wait.emplace(PrimaryGate());
  } catch (const zdl::CZDLException& error) {
    throw ForwardFailure(error.GetExceptionStr(), false);
  }
  const Clock::time_point deadline = Clock::now() + zdl::TimeLeft(zdl::RequestTimeout());
  // A kept-alive connection may have been closed by the primary meanwhile (the pool passes over
  // those it sees closed): when sending the request fails, it goes once more on a fresh one.
  for (bool reused : {true, false}) {
    std::unique_ptr<Connection> connection = reused ? TakeIdle() : Open(deadline);
    if (!connection) continue;
    try {
      bool keepAlive = false;
      std::string answer = Exchange(*connection, request, deadline, &keepAlive);
      if (keepAlive) GiveBack(std::move(connection));
      return answer;
    } catch (const StaleConnection& stale) {
      if (!reused) throw stale.failure;
    }
  }
  throw ForwardFailure("no connection", false);  // not reached: the fresh connection answers or throws
}

}  // namespace zeb::server
