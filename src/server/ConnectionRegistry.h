// The open connections of one host: counts them against the connection caps, makes room at a
// cap by closing the connection that has waited longest for its next request, and reaches every
// connection at shutdown. Thread-safe.
#pragma once

#include <chrono>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
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

  // Since when the connection has waited for its next request (steady clock ticks), or 0 while
  // it is doing anything else. Set by the connection without a lock; read by the registry.
  std::atomic<std::int64_t> idleSince{0};
  // When the connection's current wait runs out (steady clock ticks), or 0 while it waits for
  // nothing with a time limit. Set by the connection without a lock; read by the sweep.
  std::atomic<std::int64_t> deadline{0};
  // Closes the connection if its deadline has passed by the time the connection looks; called
  // by the sweep. Thread-safe.
  virtual void Expire() = 0;
};

enum class Admission {
  kAdmitted,
  kAdmittedByEviction,  // an idle connection was closed to make room
  kRefused,
};

class ConnectionRegistry {
 public:
  ConnectionRegistry(std::size_t maxConnections, std::size_t maxPerAddress)
      : maxConnections_(maxConnections), maxPerAddress_(maxPerAddress) {}
  ConnectionRegistry(const ConnectionRegistry&) = delete;
  ConnectionRegistry& operator=(const ConnectionRegistry&) = delete;

  // Registers the connection from address when fewer than maxConnections are open and fewer
  // than maxPerAddress of them come from that address. At a cap it makes room by stopping the
  // connection (of that address, for the per-address cap) that has waited longest for its next
  // request, and forgets it at once; with none waiting, or after StopAll, it refuses (and
  // registers nothing).
  Admission TryAdd(const std::shared_ptr<Connection>& connection, const std::string& address);

  // Forgets the connection; called from its destructor. Unknown connections are ignored.
  void Remove(const Connection* connection);

  // Calls Connection::Stop on every open connection, and refuses new ones from then on.
  void StopAll();

  // Calls Connection::Expire on every connection whose deadline is at or before now (steady
  // clock ticks).
  void ExpireOverdue(std::int64_t now);

  // Blocks until no connection is open or the timeout passes. Returns true when none is open.
  bool WaitUntilEmpty(std::chrono::steady_clock::duration timeout);

  std::size_t size() const;

 private:
  struct Entry {
    std::weak_ptr<Connection> connection;
    std::string address;
  };

  // Forgets the longest-waiting idle connection (of address, unless empty) and returns it;
  // null when none waits. REQUIRES: mutex_ held.
  std::shared_ptr<Connection> TakeLongestIdle(const std::string& address);
  void Forget(std::unordered_map<const Connection*, Entry>::iterator entry);  // REQUIRES: mutex_ held

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
