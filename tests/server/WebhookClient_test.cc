// What a webhook delivery checks before it sends: the URL's parts or why it is refused, and the
// back-off between attempts (the signature is recomputed by ChangeEvents_e2e_test).
#include "server/WebhookClient.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "server/WebhookDeliverer.h"

namespace zeb::server {
namespace {

std::string Parts(const std::string& url) {
  const WebhookUrl parsed = ParseWebhookUrl(url);
  return std::string(parsed.tls ? "tls " : "plain ") + parsed.host + " " + parsed.port + " " + parsed.target;
}

std::string Refusal(const std::string& url) {
  try {
    ParseWebhookUrl(url);
  } catch (const std::invalid_argument& error) {
    return error.what();
  }
  return "";
}

TEST(WebhookUrlTest, PartsOfHttpAndHttpsUrls) {
  EXPECT_EQ("plain hooks.example 80 /", Parts("http://hooks.example"));
  EXPECT_EQ("tls hooks.example 443 /zeb?a=1", Parts("https://hooks.example/zeb?a=1"));
  EXPECT_EQ("plain 127.0.0.1 8080 /?x", Parts("http://127.0.0.1:8080?x"));
  EXPECT_EQ("tls ::1 8443 /h", Parts("https://[::1]:8443/h"));
}

TEST(WebhookUrlTest, RefusesWhatItCannotOrMustNotUse) {
  EXPECT_EQ("the URL must start with http:// or https://", Refusal("ftp://hooks.example/"));
  EXPECT_EQ("the URL must start with http:// or https://", Refusal("HTTP://hooks.example/"));
  EXPECT_EQ("the URL names no host", Refusal("https:///zeb"));
  EXPECT_EQ("the URL's port is not a number from 1 to 65535", Refusal("http://h:0/"));
  EXPECT_EQ("the URL's port is not a number from 1 to 65535", Refusal("http://h:70000/"));
  EXPECT_EQ("the URL's port is not a number from 1 to 65535", Refusal("http://h:8x/"));
  EXPECT_EQ("the URL holds user credentials, which would be stored in plain text", Refusal("https://u:p@h/"));
  EXPECT_EQ("the URL has a fragment (#)", Refusal("https://h/#x"));
  EXPECT_EQ("the URL holds a blank or a control character", Refusal("https://h/a b"));
  EXPECT_EQ("the URL holds a blank or a control character", Refusal("https://h/\r\nX-Injected: 1"));
}

TEST(WebhookBackoffTest, DoublesFromTheBaseUpToTheCap) {
  WebhookDeliverer::Options options;
  options.backoffBase = std::chrono::milliseconds(1000);
  options.backoffCap = std::chrono::milliseconds(5000);
  std::vector<long long> waits;
  for (int failures = 1; failures <= 5; ++failures)
    waits.push_back(WebhookDeliverer::Backoff(options, failures).count());
  EXPECT_EQ((std::vector<long long>{1000, 2000, 4000, 5000, 5000}), waits);
  EXPECT_EQ(5000, WebhookDeliverer::Backoff(options, 1000).count());
}

}  // namespace
}  // namespace zeb::server
