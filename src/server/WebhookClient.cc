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

// One POST: resolve, connect, [handshake], write, read. Keeps itself alive through its handlers.
template <class Stream>
class Exchange : public std::enable_shared_from_this<Exchange<Stream>> {
 public:
  Exchange(Stream&& stream, net::io_context& ioc, WebhookUrl url, http::request<http::string_body> request,
           std::chrono::milliseconds timeout, std::function<void(const std::string&)> done)
      : stream_(std::move(stream)),
        resolver_(ioc),
        url_(std::move(url)),
        request_(std::move(request)),
        timeout_(timeout),
        done_(std::move(done)) {}

  void Start() {
    if constexpr (kTls) {
      if (!SSL_set_tlsext_host_name(stream_.native_handle(), url_.host.c_str()))
        return Finish("TLS: the host name cannot be sent");
      stream_.set_verify_callback(net::ssl::host_name_verification(url_.host));
    }
    Lowest().expires_after(timeout_);
    resolver_.async_resolve(
        url_.host, url_.port,
        [self = this->shared_from_this()](beast::error_code ec, tcp::resolver::results_type found) {
          if (ec) return self->Finish(Describe("resolve " + self->url_.host, ec));
          self->Connect(found);
        });
  }

 private:
  static constexpr bool kTls = !std::is_same_v<Stream, beast::tcp_stream>;

  beast::tcp_stream& Lowest() { return beast::get_lowest_layer(stream_); }

  void Connect(const tcp::resolver::results_type& found) {
    Lowest().async_connect(
        found, [self = this->shared_from_this()](beast::error_code ec, const tcp::endpoint&) {
          if (ec) return self->Finish(Describe("connect", ec));
          if constexpr (kTls) {
            self->stream_.async_handshake(net::ssl::stream_base::client, [self](beast::error_code ec) {
              if (ec) return self->Finish(Describe("TLS", ec));
              self->Write();
            });
          } else {
            self->Write();
          }
        });
  }

  void Write() {
    http::async_write(stream_, request_,
                      [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                        if (ec) return self->Finish(Describe("send", ec));
                        self->Read();
                      });
  }

  void Read() {
    parser_.emplace();
    parser_->body_limit(kResponseLimit);
    http::async_read(
        stream_, buffer_, *parser_, [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
          if (ec) return self->Finish(Describe("answer", ec));
          const auto& response = self->parser_->get();
          const unsigned status = response.result_int();
          if (status >= 200 && status < 300) return self->Finish("");
          std::string problem = "answered " + std::to_string(status) + " " + std::string(response.reason());
          if (status >= 300 && status < 400) problem += " (redirects are not followed)";
          self->Finish(problem);
        });
  }

  void Finish(const std::string& problem) {
    beast::error_code ignored;
    Lowest().socket().close(ignored);
    if (done_) std::exchange(done_, nullptr)(problem);
  }

  Stream stream_;
  tcp::resolver resolver_;
  const WebhookUrl url_;
  http::request<http::string_body> request_;
  const std::chrono::milliseconds timeout_;
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

void PostWebhook(net::io_context& ioc, net::ssl::context& tls, const WebhookUrl& url, std::string body,
                 const HttpHeaders& headers, std::chrono::milliseconds timeout,
                 std::function<void(const std::string& problem)> done) {
  http::request<http::string_body> request{http::verb::post, url.target, 11};
  const bool defaultPort = url.port == (url.tls ? "443" : "80");
  const std::string host = url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
  request.set(http::field::host, defaultPort ? host : host + ":" + url.port);
  request.set(http::field::user_agent, "zebd");
  request.set(http::field::content_type, "application/json");
  request.set(http::field::connection, "close");
  for (const auto& [name, value] : headers) request.set(name, value);
  request.body() = std::move(body);
  request.prepare_payload();
  if (url.tls) {
    std::make_shared<Exchange<beast::ssl_stream<beast::tcp_stream>>>(
        beast::ssl_stream<beast::tcp_stream>(ioc, tls), ioc, url, std::move(request), timeout,
        std::move(done))
        ->Start();
  } else {
    std::make_shared<Exchange<beast::tcp_stream>>(beast::tcp_stream(ioc), ioc, url, std::move(request),
                                                  timeout, std::move(done))
        ->Start();
  }
}

}  // namespace zeb::server
