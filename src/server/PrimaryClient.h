// The way from a read-only node to the primary's node (--primary-url): forwards write requests
// over a pool of kept-alive HTTP/1.1 connections (HTTPS verified against the system's trust
// store or a CA file of its own), each exchange bounded by the request's deadline, and gives
// back the primary's answer as the client is to get it.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <boost/asio/ssl/context.hpp>

#include "extension/StandbyGate.h"

namespace zeb::server {

class PrimaryClient : public WriteForwarder {
 public:
  // A kept-alive connection idle for longer is closed rather than used: the primary's node
  // closes its idle ones after 60 s by default.
  static constexpr std::chrono::seconds kMaxIdle{20};
  static constexpr std::size_t kMaxIdleConnections = 64;
  // The largest answer relayed; a write's answer is a few hundred bytes.
  static constexpr std::uint64_t kMaxAnswerBytes = 4 * 1024 * 1024;

  // url: http://HOST[:PORT][/PATH] or https://...; caFile: PEM certificates to trust instead of
  // the system's ("" for those). Throws std::runtime_error naming what is wrong.
  PrimaryClient(const std::string& url, const std::string& caFile);
  ~PrimaryClient() override;
  PrimaryClient(const PrimaryClient&) = delete;
  PrimaryClient& operator=(const PrimaryClient&) = delete;

  std::string Forward(const ForwardedRequest& request) override;
  const std::string& primary() const override { return url_; }

  struct Connection;

 private:
  // An idle connection of the pool (null when none is), or null.
  std::unique_ptr<Connection> TakeIdle();
  void GiveBack(std::unique_ptr<Connection> connection);
  std::unique_ptr<Connection> Open(std::chrono::steady_clock::time_point deadline);
  // One exchange on connection; throws ForwardFailure. reused: the connection served before.
  std::string Exchange(Connection& connection, const ForwardedRequest& request,
                       std::chrono::steady_clock::time_point deadline, bool* keepAlive);

  const std::string url_;
  bool tls_ = false;
  std::string host_, port_, target_;
  std::shared_ptr<boost::asio::ssl::context> tlsContext_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Connection>> idle_;  // guarded by mutex_; most recent last
};

}  // namespace zeb::server
