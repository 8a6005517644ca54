#include "server/WebhookClient.h"

#include <openssl/hmac.h>
#include <openssl/ssl.h>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/host_name_verification.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <boost/beast/version.hpp>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "server/ClientTls.h"

namespace zeb::server {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

constexpr std::uint64_t kResponseLimit = 64 * 1024;

std::string Describe(const std::string& step, const beast::error_code& ec) {
  if (ec == beast::error::timeout || ec == net::error::operation_aborted) return step + ": timed out";
  std::string text = ec.message();
  // OpenSSL's messages carry a prefix of codes before the reason.
  if (const std::size_t colon = text.rfind(") ("); colon != std::string::npos)
    text = text.substr(0, colon + 1);
  return step + ": " + text;
}

}  // namespace

// The connection behind a channel, of one kind of stream. Keeps itself alive through its
// handlers, so that a channel closed or gone while a POST is under way leaves nothing dangling.
class WebhookChannel::Link {
 public:
  virtual ~Link() = default;
  virtual void Post(http::request<http::string_body> request, std::chrono::milliseconds timeout,
                    std::function<void(const std::string&)> done) = 0;
  // Closes the connection for good: a POST under way ends without its done being called.
  virtual void Shut() = 0;
};

namespace {

template <class Stream>
class StreamLink : public WebhookChannel::Link, public std::enable_shared_from_this<StreamLink<Stream>> {
 public:
  StreamLink(net::io_context& ioc, net::ssl::context& tls, WebhookUrl url)
      : ioc_(ioc), tls_(tls), resolver_(ioc), url_(std::move(url)) {}

  void Post(http::request<http::string_body> request, std::chrono::milliseconds timeout,
            std::function<void(const std::string&)> done) override {
    request_ = std::move(request);
    timeout_ = timeout;
    done_ = std::move(done);
    reused_ = open_;
    if (reused_) return Write();
    Open();
  }

  void Shut() override {
    done_ = nullptr;
    shut_ = true;
    Close();
  }

 private:
  static constexpr bool kTls = !std::is_same_v<Stream, beast::tcp_stream>;

  beast::tcp_stream& Lowest() { return beast::get_lowest_layer(*stream_); }

  // Closes the connection; its stream object stays until the next is opened, since handlers of
  // operations it cancels may still be queued.
  void Close() {
    beast::error_code ignored;
    if (stream_) Lowest().socket().close(ignored);
    open_ = false;
  }

  void Open() {
    open_ = true;
    if constexpr (kTls) {
      stream_.emplace(ioc_, tls_);
      if (!SSL_set_tlsext_host_name(stream_->native_handle(), url_.host.c_str()))
        return Finish("TLS: the host name cannot be sent");
      stream_->set_verify_callback(net::ssl::host_name_verification(url_.host));
    } else {
      stream_.emplace(ioc_);
    }
    Lowest().expires_after(timeout_);
    resolver_.async_resolve(
        url_.host, url_.port,
        [self = this->shared_from_this()](beast::error_code ec, tcp::resolver::results_type found) {
          if (ec) return self->Finish(Describe("resolve " + self->url_.host, ec));
          self->Connect(found);
        });
  }

  void Connect(const tcp::resolver::results_type& found) {
    Lowest().async_connect(
        found, [self = this->shared_from_this()](beast::error_code ec, const tcp::endpoint&) {
          if (ec) return self->Finish(Describe("connect", ec));
          if constexpr (kTls) {
            self->stream_->async_handshake(net::ssl::stream_base::client, [self](beast::error_code ec) {
              if (ec) return self->Finish(Describe("TLS", ec));
              self->Write();
            });
          } else {
            self->Write();
          }
        });
  }

  void Write() {
    Lowest().expires_after(timeout_);
    http::async_write(*stream_, request_,
                      [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                        if (ec) return self->Retry(Describe("send", ec), ec);
                        self->Read();
                      });
  }

  void Read() {
    parser_.emplace();
    parser_->body_limit(kResponseLimit);
    http::async_read(
        *stream_, buffer_, *parser_, [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
          if (ec)
            return self->parser_->got_some() ? self->Finish(Describe("answer", ec))
                                             : self->Retry(Describe("answer", ec), ec);
          const auto& response = self->parser_->get();
          const unsigned status = response.result_int();
          if (!response.keep_alive()) self->Close();
          if (status >= 200 && status < 300) return self->Finish("", true);
          std::string problem = "answered " + std::to_string(status) + " " + std::string(response.reason());
          if (status >= 300 && status < 400) problem += " (redirects are not followed)";
          self->Finish(problem, true);
        });
  }

  // A kept connection the receiver closed while idle fails the next POST before any answer:
  // that POST goes once more on a fresh connection. It may have arrived the first time too,
  // which delivery at least once allows.
  void Retry(const std::string& problem, const beast::error_code& ec) {
    const bool timedOut = ec == beast::error::timeout || ec == net::error::operation_aborted;
    if (!reused_ || timedOut || shut_) return Finish(problem);
    reused_ = false;
    Close();
    Open();
  }

  // answered: the exchange went to its end, so the connection may serve the next POST.
  void Finish(const std::string& problem, bool answered = false) {
    if (!answered) Close();
    buffer_.clear();
    if (done_) std::exchange(done_, nullptr)(problem);
  }

  net::io_context& ioc_;
  net::ssl::context& tls_;
  tcp::resolver resolver_;
  const WebhookUrl url_;
  std::optional<Stream> stream_;
  bool open_ = false;  // stream_ is connected, or being connected, and may carry the next POST
  bool shut_ = false;
  bool reused_ = false;  // the POST under way went on a connection that served before
  http::request<http::string_body> request_;
  std::chrono::milliseconds timeout_{};
  std::function<void(const std::string&)> done_;
  beast::flat_buffer buffer_;
  std::optional<http::response_parser<http::string_body>> parser_;
};

bool Invalid(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return true;
  }
  return false;
}

}  // namespace

WebhookUrl ParseWebhookUrl(const std::string& url) {
  WebhookUrl parsed;
  std::size_t at;
  if (url.compare(0, 7, "http://") == 0) {
    at = 7;
  } else if (url.compare(0, 8, "https://") == 0) {
    at = 8, parsed.tls = true;
  } else {
    throw std::invalid_argument("the URL must start with http:// or https://");
  }
  if (Invalid(url)) throw std::invalid_argument("the URL holds a blank or a control character");
  if (url.find('#') != std::string::npos) throw std::invalid_argument("the URL has a fragment (#)");
  const std::size_t pathStart = url.find_first_of("/?", at);
  const std::string authority =
      url.substr(at, pathStart == std::string::npos ? std::string::npos : pathStart - at);
  parsed.target = pathStart == std::string::npos ? "/" : url.substr(pathStart);
  if (parsed.target[0] == '?') parsed.target.insert(0, "/");
  if (authority.find('@') != std::string::npos)
    throw std::invalid_argument("the URL holds user credentials, which would be stored in plain text");
  std::size_t portColon;
  if (!authority.empty() && authority[0] == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string::npos) throw std::invalid_argument("the URL's IPv6 address has no closing ]");
    parsed.host = authority.substr(1, close - 1);
    portColon = close + 1 < authority.size() ? close + 1 : std::string::npos;
    if (portColon != std::string::npos && authority[portColon] != ':')
      throw std::invalid_argument("the URL has text after its IPv6 address");
  } else {
    portColon = authority.find(':');
    parsed.host = authority.substr(0, portColon);
  }
  if (parsed.host.empty()) throw std::invalid_argument("the URL names no host");
  parsed.port = parsed.tls ? "443" : "80";
  if (portColon != std::string::npos) {
    const std::string port = authority.substr(portColon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(port) < 1 || std::stoi(port) > 65535)
      throw std::invalid_argument("the URL's port is not a number from 1 to 65535");
    parsed.port = port;
  }
  return parsed;
}

std::string WebhookSignature(const std::string& secret, std::int64_t unixSeconds, const std::string& body) {
  const std::string seconds = std::to_string(unixSeconds);
  const std::string signedText = seconds + "." + body;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
       reinterpret_cast<const unsigned char*>(signedText.data()), signedText.size(), digest, &length);
  std::string hex;
  char pair[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return "t=" + seconds + ",v1=" + hex;
}

std::shared_ptr<net::ssl::context> MakeWebhookTlsContext(const std::string& caFile) {
  beast::error_code ec;
  auto context = MakeClientTlsContext(caFile, ec);
  // Without a CA file a system store that cannot be read leaves every receiver unverifiable,
  // which each delivery then reports.
  if (ec && !caFile.empty()) throw std::runtime_error("--webhook-ca " + caFile + ": " + ec.message());
  return context;
}

WebhookChannel::WebhookChannel(net::io_context& ioc, net::ssl::context& tls, const WebhookUrl& url)
    : url_(url) {
  if (url.tls) {
    link_ = std::make_shared<StreamLink<beast::ssl_stream<beast::tcp_stream>>>(ioc, tls, url);
  } else {
    link_ = std::make_shared<StreamLink<beast::tcp_stream>>(ioc, tls, url);
  }
}

WebhookChannel::~WebhookChannel() { link_->Shut(); }

void WebhookChannel::Post(std::string body, const HttpHeaders& headers, std::chrono::milliseconds timeout,
                          std::function<void(const std::string& problem)> done) {
  http::request<http::string_body> request{http::verb::post, url_.target, 11};
  const bool defaultPort = url_.port == (url_.tls ? "443" : "80");
  const std::string host = url_.host.find(':') != std::string::npos ? "[" + url_.host + "]" : url_.host;
  request.set(http::field::host, defaultPort ? host : host + ":" + url_.port);
  request.set(http::field::user_agent, "zebd");
  request.set(http::field::content_type, "application/json");
  for (const auto& [name, value] : headers) request.set(name, value);
  request.body() = std::move(body);
  request.prepare_payload();
  link_->Post(std::move(request), timeout, std::move(done));
}

}  // namespace zeb::server
