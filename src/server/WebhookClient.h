// What a webhook delivery needs of HTTP: the subscription's URL taken apart, the signature of a
// body, and POSTs with a time limit over a kept-alive connection, on an io_context, over HTTP or
// HTTPS (the server's certificate verified against the trust store and its name checked).
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ssl/context.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zeb::server {

struct WebhookUrl {
  bool tls = false;
  std::string host;    // without brackets for an IPv6 address
  std::string port;    // "80" or "443" when the URL names none
  std::string target;  // path and query, "/" when empty
};

// Takes an http:// or https:// URL apart. Throws std::invalid_argument saying what is wrong with
// it (another scheme, no host, a bad port, user credentials, a fragment, a control character).
WebhookUrl ParseWebhookUrl(const std::string& url);

// The X-Zeb-Signature value of a body sent at unixSeconds: "t=<unixSeconds>,v1=<hex>", the hex
// being the HMAC-SHA256 under secret of "<unixSeconds>.<body>".
std::string WebhookSignature(const std::string& secret, std::int64_t unixSeconds, const std::string& body);

// A client TLS context that verifies servers against the system's trust store, or caFile's
// certificates when caFile is not empty. Throws std::runtime_error when caFile cannot be read.
std::shared_ptr<boost::asio::ssl::context> MakeWebhookTlsContext(const std::string& caFile);

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// A kept-alive connection to one receiver, for POSTs one at a time: made on the first POST and
// again after the receiver closed it or a POST failed.
class WebhookChannel {
 public:
  class Link;

  // ioc and tls must outlive the channel.
  WebhookChannel(boost::asio::io_context& ioc, boost::asio::ssl::context& tls, const WebhookUrl& url);
  ~WebhookChannel();  // closes the connection; a POST under way ends without calling its done
  WebhookChannel(const WebhookChannel&) = delete;
  WebhookChannel& operator=(const WebhookChannel&) = delete;

  // POSTs body as application/json with the headers, within timeout. done runs on the
  // io_context's thread with "" when the receiver answered 2xx, else what went wrong ("connect:
  // Connection refused", "answered 503 Service Unavailable", "send: timed out").
  // REQUIRES: no POST of this channel is under way.
  void Post(std::string body, const HttpHeaders& headers, std::chrono::milliseconds timeout,
            std::function<void(const std::string& problem)> done);

 private:
  const WebhookUrl url_;
  std::shared_ptr<Link> link_;
};

}  // namespace zeb::server
