#include "server/ConnectionRegistry.h"

#include <vector>

namespace zeb::server {

bool ConnectionRegistry::TryAdd(const std::shared_ptr<Connection>& connection, const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_ || connections_.size() >= maxConnections_) return false;
  std::size_t& fromAddress = perAddress_[address];
  if (fromAddress >= maxPerAddress_) return false;
  ++fromAddress;
  connections_.emplace(connection.get(), Entry{connection, address});
  return true;
}

void ConnectionRegistry::Remove(const Connection* connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = connections_.find(connection);
  if (found == connections_.end()) return;
  auto count = perAddress_.find(found->second.address);
  if (count != perAddress_.end() && --count->second == 0) perAddress_.erase(count);
  connections_.erase(found);
  if (connections_.empty()) empty_.notify_all();
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

bool ConnectionRegistry::WaitUntilEmpty(std::chrono::steady_clock::duration timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return empty_.wait_for(lock, timeout, [this] { return connections_.empty(); });
}

std::size_t ConnectionRegistry::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_.size();
}

}  // namespace zeb::server
