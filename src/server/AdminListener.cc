#include "server/AdminListener.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/bind_handler.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <boost/optional.hpp>

#include "server/HttpSession.h"
#include "server/ListenAddress.h"
#include "server/SseSession.h"

namespace zeb::server {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

constexpr std::uint32_t kHeaderLimit = 8192;
constexpr std::uint64_t kBodyLimit = 1024;

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// One connection of the admin listener: [TLS handshake], one request, one answer, close.
template <class Stream>
class AdminExchange : public std::enable_shared_from_this<AdminExchange<Stream>> {
 public:
  AdminExchange(Stream&& stream, AdminListener& listener, const AdminListener::Services& services)
      : stream_(std::move(stream)), listener_(listener), services_(services), throttle_(stream_.get_executor()) {}

  void Start() {
    Lowest().expires_after(AdminListener::kRequestTimeout);
    if constexpr (kTls) {
      stream_.async_handshake(net::ssl::stream_base::server,
                              [self = this->shared_from_this()](beast::error_code ec) {
                                if (ec) {
                                  if (self->services_.metrics)
                                    self->services_.metrics->OnTlsHandshakeFailure();
                                  return self->Close();
                                }
                                self->Read();
                              });
    } else {
      Read();
    }
  }

 private:
  static constexpr bool kTls = std::is_same_v<Stream, TlsStream>;

  beast::tcp_stream& Lowest() { return beast::get_lowest_layer(stream_); }

  void Read() {
    parser_.emplace();
    parser_->header_limit(kHeaderLimit);
    parser_->body_limit(kBodyLimit);
    http::async_read(stream_, buffer_, *parser_,
                     [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                       if (!ec) return self->Answer();
                       if (IsMalformedRequest(ec))
                         return self->Refuse(MalformedRequestResponse(ec, kHeaderLimit, self->services_.metrics));
                       if (ec == http::error::body_limit)
                         return self->Refuse(BodyTooLargeResponse(kBodyLimit, self->services_.metrics));
                       self->Close();
                     });
  }

  // A request that is not valid HTTP, or has a body larger than any of these paths takes, is
  // told so, as on the SOAP listener, then closed.
  void Refuse(std::string answer) {
    refusal_ = std::move(answer);
    Lowest().expires_after(AdminListener::kRequestTimeout);
    net::async_write(stream_, net::buffer(refusal_),
                     [self = this->shared_from_this()](beast::error_code, std::size_t) { self->Shutdown(); });
  }

  // Settles the credentials, then answers. An address that failed recently waits its turn on
  // a timer, as on the SOAP listener, and is then checked like any other.
  void Answer() {
    Authenticator* authenticator = services_.authenticator;
    if (!authenticator) return Reply(true);
    const auto& request = parser_->get();
    std::string_view value;
    const std::string_view* authorization = nullptr;
    if (request.count(http::field::authorization) == 1) {
      value = std::string_view(request[http::field::authorization].data(),
                               request[http::field::authorization].size());
      authorization = &value;
    }
    beast::error_code ec;
    auto remote = Lowest().socket().remote_endpoint(ec);
    if (!ec) address_ = remote.address().to_string();
    const auto now = Authenticator::Clock::now();
    Authenticator::Attempt attempt = authenticator->Begin(authorization, address_, now);
    if (attempt.verdict != Authenticator::Verdict::kCheck)
      return Reply(attempt.verdict == Authenticator::Verdict::kAccepted);
    if (attempt.notBefore <= now) return Check(attempt);
    throttle_.expires_at(attempt.notBefore);
    throttle_.async_wait([self = this->shared_from_this(), attempt = std::move(attempt)](beast::error_code ec) {
      if (ec) return self->Close();
      self->Check(attempt);
    });
  }

  void Check(const Authenticator::Attempt& attempt) {
    const bool passed = Authenticator::Check(attempt);
    services_.authenticator->Finish(attempt, passed, address_, Authenticator::Clock::now());
    if (!passed) {
      if (services_.metrics) services_.metrics->OnAuthenticationFailure();
      const std::string who = attempt.knownUser ? "'" + attempt.user + "'" : "an unknown user";
      fail({}, "admin listener: authentication of " + who + " from " + address_ + " failed");
    }
    Reply(passed);
  }

  void Reply(bool authorized) {
    const auto& request = parser_->get();
    if (authorized && services_.events && request.method() == http::verb::get &&
        request.target().substr(0, request.target().find('?')) == "/events")
      if (StartEvents()) return;
    response_.version(11);
    response_.keep_alive(false);
    if (!authorized) {
      if (services_.metrics) services_.metrics->OnRefusal(401);
      response_.result(http::status::unauthorized);
      response_.set(http::field::www_authenticate, "Basic realm=\"ZEB API\"");
      response_.set(http::field::content_type, "text/plain");
      response_.body() = "Authentication required.\n";
    } else {
      AdminListener::Answer answer =
          listener_.Respond(std::string(request.method_string()), std::string(request.target()));
      response_.result(answer.status);
      response_.set(http::field::content_type, answer.contentType);
      response_.body() = std::move(answer.body);
    }
    response_.prepare_payload();
    Lowest().expires_after(AdminListener::kRequestTimeout);
    http::async_write(stream_, response_, [self = this->shared_from_this()](beast::error_code, std::size_t) {
      self->Shutdown();
    });
  }

  // Hands the connection to an event stream session; false (answer as usual) for a bad start.
  bool StartEvents() {
    const auto& request = parser_->get();
    std::optional<std::int64_t> since;
    if (!AdminListener::EventsStart(std::string(request["Last-Event-ID"]), std::string(request.target()),
                                    &since))
      return false;
    Lowest().expires_never();
    auto session = std::make_shared<SseSession<Stream>>(std::move(stream_));
    services_.events->Add(session, since);
    return true;
  }

  void Shutdown() {
    if constexpr (kTls) {
      stream_.async_shutdown([self = this->shared_from_this()](beast::error_code) { self->Close(); });
    } else {
      Close();
    }
  }

  void Close() {
    beast::error_code ec;
    Lowest().socket().shutdown(tcp::socket::shutdown_both, ec);
    Lowest().socket().close(ec);
  }

  Stream stream_;
  AdminListener& listener_;
  const AdminListener::Services& services_;
  beast::flat_buffer buffer_;
  boost::optional<http::request_parser<http::string_body>> parser_;
  http::response<http::string_body> response_;
  std::string refusal_;  // the answer to a refused request, kept until it is written
  net::steady_timer throttle_;  // an address with recent failures waits here for its check
  std::string address_;
};

}  // namespace

AdminListener::AdminListener(Services services) : services_(std::move(services)), acceptor_(ioc_) {}

AdminListener::~AdminListener() { Stop(); }

std::string AdminListener::Start(const tcp::endpoint& endpoint) {
  std::string address = server::Listen(acceptor_, endpoint);
  Accept();
  thread_ = std::thread([this] { ioc_.run(); });
  return address;
}

void AdminListener::Stop() {
  ioc_.stop();
  if (thread_.joinable()) thread_.join();
}

void AdminListener::Accept() {
  acceptor_.async_accept(ioc_, [this](beast::error_code ec, tcp::socket socket) {
    if (ec == net::error::operation_aborted || !acceptor_.is_open()) return;
    if (!ec) {
      std::shared_ptr<net::ssl::context> tls = services_.tls ? services_.tls() : nullptr;
      if (tls) {
        // The stream's TLS state holds its own reference to the context: a reload may replace it meanwhile.
        auto exchange =
            std::make_shared<AdminExchange<TlsStream>>(TlsStream(std::move(socket), *tls), *this, services_);
        exchange->Start();
      } else {
        std::make_shared<AdminExchange<PlainStream>>(PlainStream(std::move(socket)), *this, services_)
            ->Start();
      }
    }
    Accept();
  });
}

AdminListener::Answer AdminListener::Respond(const std::string& method, const std::string& target) {
  const std::string path = target.substr(0, target.find('?'));
  if (method == "GET" && path == "/metrics") {
    return {200, "text/plain; version=0.0.4; charset=utf-8",
            services_.metrics->Text() + (services_.moreMetrics ? services_.moreMetrics() : "")};
  }
  if (method == "GET" && path == "/events" && services_.events)
    return {400, "text/plain", "Last-Event-ID and ?since= take an event id.\n"};
  if (method == "GET" && path == "/healthz") return {200, "text/plain", "ok\n"};
  if (method == "GET" && path == "/readyz") {
    std::string problem = services_.readiness->Run(kReadinessTimeout);
    const std::string note = problem.empty() && services_.readyNote ? services_.readyNote() : "";
    if (problem.empty()) return {200, "text/plain", note.empty() ? "ready\n" : "ready: " + note + "\n"};
    return {503, "text/plain", OneLine(problem) + "\n"};
  }
  return {404, "text/plain", "Not found.\n"};
}

bool AdminListener::EventsStart(const std::string& lastEventId, const std::string& target,
                                std::optional<std::int64_t>* since) {
  std::string value = lastEventId;
  if (value.empty()) {
    const std::size_t query = target.find('?');
    if (query == std::string::npos) return true;
    const std::string parameters = "&" + target.substr(query + 1);
    const std::size_t at = parameters.find("&since=");
    if (at == std::string::npos) return true;
    value = parameters.substr(at + 7, parameters.find('&', at + 1) - (at + 7));
  }
  if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos) return false;
  *since = std::stoll(value);
  return true;
}

}  // namespace zeb::server
