// The open connections of one host: counts them against the connection caps, and reaches every
// one of them at shutdown. Thread-safe.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace zeb::server {

// What the registry needs of an open connection.
class Connection {
 public:
  virtual ~Connection() = default;
  // Ends the connection soon; see HttpSession::Stop. Thread-safe.
  virtual void Stop() = 0;
};

class ConnectionRegistry {
 public:
  ConnectionRegistry(std::size_t maxConnections, std::size_t maxPerAddress)
      : maxConnections_(maxConnections), maxPerAddress_(maxPerAddress) {}
  ConnectionRegistry(const ConnectionRegistry&) = delete;
  ConnectionRegistry& operator=(const ConnectionRegistry&) = delete;

  // Registers the connection from address when fewer than maxConnections are open, fewer than
  // maxPerAddress of them from that address, and StopAll has not been called; returns false
  // (and registers nothing) otherwise.
  bool TryAdd(const std::shared_ptr<Connection>& connection, const std::string& address);

  // Forgets the connection; called from its destructor. Unknown connections are ignored.
  void Remove(const Connection* connection);

  // Calls Connection::Stop on every open connection, and refuses new ones from then on.
  void StopAll();

  // Blocks until no connection is open or the timeout passes. Returns true when none is open.
  bool WaitUntilEmpty(std::chrono::steady_clock::duration timeout);

  std::size_t size() const;

 private:
  struct Entry {
    std::weak_ptr<Connection> connection;
    std::string address;
  };

  const std::size_t maxConnections_;
  const std::size_t maxPerAddress_;
  mutable std::mutex mutex_;
  std::condition_variable empty_;
  // Guarded by mutex_:
  std::unordered_map<const Connection*, Entry> connections_;
  std::unordered_map<std::string, std::size_t> perAddress_;
  bool stopping_ = false;
};

}  // namespace zeb::server
