// The turn of one process's writers on one database file. Turns are granted in arrival order,
// and a writer waits for its turn on a condition of its own instead of polling the file lock,
// so that writers of this process never sleep-poll one another. Other processes are still kept
// out by the file lock itself (and the connection's busy handler).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <list>
#include <mutex>

namespace zeb::zdl {

class WriteGate {
 public:
  WriteGate() = default;
  WriteGate(const WriteGate&) = delete;
  WriteGate& operator=(const WriteGate&) = delete;

  // Waits at most timeout for the turn. Returns false when it did not come in time; the place
  // in the queue is then given up. The wait is reported through CZDLWait.
  bool Acquire(std::chrono::milliseconds timeout);
  // REQUIRES: the caller holds the turn. Hands it to the longest waiting writer.
  void Release();
  // Writers waiting for the turn now.
  std::size_t Waiting() const;

 private:
  struct Waiter {
    std::condition_variable wake;
    bool granted = false;
  };

  mutable std::mutex mutex_;
  bool held_ = false;
  std::list<Waiter*> queue_;
};

}  // namespace zeb::zdl
