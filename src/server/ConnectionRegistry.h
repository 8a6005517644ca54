// The open connections of one host: counts them against the connection cap, and reaches every
// one of them at shutdown. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace zeb::server {

class HttpSession;

class ConnectionRegistry {
 public:
  explicit ConnectionRegistry(std::size_t maxConnections) : maxConnections_(maxConnections) {}
  ConnectionRegistry(const ConnectionRegistry&) = delete;
  ConnectionRegistry& operator=(const ConnectionRegistry&) = delete;

  // Registers the session when fewer than maxConnections are open and StopAll has not been
  // called; returns false (and registers nothing) otherwise.
  bool TryAdd(const std::shared_ptr<HttpSession>& session);

  // Forgets the session; called from its destructor. Unknown sessions are ignored.
  void Remove(const HttpSession* session);

  // Calls HttpSession::Stop on every open session, and refuses new ones from then on.
  void StopAll();

  // Blocks until no session is open or the timeout passes. Returns true when none is open.
  bool WaitUntilEmpty(std::chrono::steady_clock::duration timeout);

  std::size_t size() const;

 private:
  const std::size_t maxConnections_;
  mutable std::mutex mutex_;
  std::condition_variable empty_;
  // Guarded by mutex_:
  std::unordered_map<const HttpSession*, std::weak_ptr<HttpSession>> sessions_;
  bool stopping_ = false;
};

}  // namespace zeb::server
