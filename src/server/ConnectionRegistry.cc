#include "server/ConnectionRegistry.h"

#include <vector>

#include "server/HttpSession.h"

namespace zeb::server {

bool ConnectionRegistry::TryAdd(const std::shared_ptr<HttpSession>& session) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_ || sessions_.size() >= maxConnections_) return false;
  sessions_.emplace(session.get(), session);
  return true;
}

void ConnectionRegistry::Remove(const HttpSession* session) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (sessions_.erase(session) != 0 && sessions_.empty()) empty_.notify_all();
}

void ConnectionRegistry::StopAll() {
  // Stop outside the lock: a session that dies meanwhile removes itself through Remove.
  std::vector<std::shared_ptr<HttpSession>> open;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (auto& entry : sessions_) {
      if (auto session = entry.second.lock()) open.push_back(std::move(session));
    }
  }
  for (auto& session : open) session->Stop();
}

bool ConnectionRegistry::WaitUntilEmpty(std::chrono::steady_clock::duration timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return empty_.wait_for(lock, timeout, [this] { return sessions_.empty(); });
}

std::size_t ConnectionRegistry::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sessions_.size();
}

}  // namespace zeb::server
