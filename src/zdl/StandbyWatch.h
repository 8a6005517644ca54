// Keeps a node whose database is a PostgreSQL hot standby fresh and aware of its role. A
// standby replays the primary's changes but not its change announcements, so nothing tells
// the node's caches what changed: a thread of its own asks the server every period where its
// replay stands, and when the replay moved it reads the change events (ChangeEvents.h) after
// the last one it saw and drops the cached content of the tables they name. The
// same poll notes whether the server is (still) in recovery: a promoted standby becomes
// writable here, without waiting for a reconnect. On a primary it asks once, at the start,
// and again only after a connection found the server in recovery.
#pragma once

#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "zdl/DatabaseHealth.h"

namespace zeb::zdl {

class CZDLDatabase;

class StandbyWatch {
 public:
  static constexpr std::chrono::milliseconds kDefaultPeriod{500};

  // Starts polling database (a PostgreSQL one) every period. warn reports a poll that failed,
  // once until one succeeds again. REQUIRES: database outlives this object.
  StandbyWatch(CZDLDatabase& database, std::chrono::milliseconds period, std::function<void(const std::string&)> warn);
  // Stops the thread; waits for a poll under way.
  ~StandbyWatch();
  StandbyWatch(const StandbyWatch&) = delete;
  StandbyWatch& operator=(const StandbyWatch&) = delete;

  // The last poll's answer (a primary's until the first one).
  ReplicaStatus status() const;

 private:
  void Loop();
  // One poll; throws CZDLException when the server cannot be asked.
  void Poll();
  // Drops what the changes replayed since the last poll made stale.
  void DropReplayedChanges();

  CZDLDatabase& database_;
  const std::chrono::milliseconds period_;
  const std::function<void(const std::string&)> warn_;
  // Owned by the thread:
  std::string position_;  // the replay position of the last poll
  std::int64_t lastEvent_ = -1;  // the newest change event seen; -1 before the first poll
  bool failing_ = false;
  // Guarded by mutex_:
  mutable std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  ReplicaStatus status_;
  std::thread thread_;  // last: starts once the rest is made
};

}  // namespace zeb::zdl
