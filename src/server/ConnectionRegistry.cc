#include "server/ConnectionRegistry.h"

#include <vector>

namespace zeb::server {

Admission ConnectionRegistry::TryAdd(const std::shared_ptr<Connection>& connection, const std::string& address) {
  std::shared_ptr<Connection> evicted;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return Admission::kRefused;
    auto fromAddress = perAddress_.find(address);
    if (fromAddress != perAddress_.end() && fromAddress->second >= maxPerAddress_) {
      evicted = TakeLongestIdle(address);
      if (!evicted) return Admission::kRefused;
    }
    if (connections_.size() >= maxConnections_) {
      if (evicted) return Admission::kRefused;  // cannot happen: the eviction made room
      evicted = TakeLongestIdle("");
      if (!evicted) return Admission::kRefused;
    }
    ++perAddress_[address];
    connections_.emplace(connection.get(), Entry{connection, address});
  }
  // Stopped outside the lock: Stop only posts to the connection's strand.
  if (evicted) evicted->Stop();
  return evicted ? Admission::kAdmittedByEviction : Admission::kAdmitted;
}

std::shared_ptr<Connection> ConnectionRegistry::TakeLongestIdle(const std::string& address) {
  auto oldest = connections_.end();
  std::int64_t oldestSince = 0;
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (!address.empty() && it->second.address != address) continue;
    auto connection = it->second.connection.lock();
    const std::int64_t since = connection ? connection->idleSince.load(std::memory_order_relaxed) : 0;
    if (since != 0 && (oldest == connections_.end() || since < oldestSince)) oldest = it, oldestSince = since;
  }
  if (oldest == connections_.end()) return nullptr;
  std::shared_ptr<Connection> connection = oldest->second.connection.lock();
  Forget(oldest);
  return connection;
}

void ConnectionRegistry::Forget(std::unordered_map<const Connection*, Entry>::iterator entry) {
  auto count = perAddress_.find(entry->second.address);
  if (count != perAddress_.end() && --count->second == 0) perAddress_.erase(count);
  connections_.erase(entry);
  if (connections_.empty()) empty_.notify_all();
}

void ConnectionRegistry::Remove(const Connection* connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = connections_.find(connection);
  if (found != connections_.end()) Forget(found);
}

void ConnectionRegistry::StopAll() {
  // Stop outside the lock: a connection that dies meanwhile removes itself through Remove.
  std::vector<std::shared_ptr<Connection>> open;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (auto& entry : connections_) {
      if (auto connection = entry.second.connection.lock()) open.push_back(std::move(connection));
    }
  }
  for (auto& connection : open) connection->Stop();
}

void ConnectionRegistry::ExpireOverdue(std::int64_t now) {
  // Expired outside the lock, as in StopAll.
  std::vector<std::shared_ptr<Connection>> overdue;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : connections_) {
      auto connection = entry.second.connection.lock();
      if (!connection) continue;
      const std::int64_t due = connection->deadline.load(std::memory_order_relaxed);
      if (due != 0 && due <= now) overdue.push_back(std::move(connection));
    }
  }
  for (auto& connection : overdue) connection->Expire();
}

bool ConnectionRegistry::WaitUntilEmpty(std::chrono::steady_clock::duration timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return empty_.wait_for(lock, timeout, [this] { return connections_.empty(); });
}

std::size_t ConnectionRegistry::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_.size();
}

}  // namespace zeb::server
