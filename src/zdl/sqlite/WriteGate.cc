#include "zdl/sqlite/WriteGate.h"

#include <algorithm>

#include "zdl/base/DatabaseWait.h"

namespace zeb::zdl {

bool WriteGate::Acquire(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!held_ && queue_.empty()) {
    held_ = true;
    return true;
  }
  Waiter me;
  auto place = queue_.insert(queue_.end(), &me);
  // A turn usually comes within a commit or two: only a longer wait is reported (and calls
  // in a stand-in to serve the thread's other requests).
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  if (me.wake.wait_for(lock, std::min(kUnreportedWait, timeout), [&] { return me.granted; })) {
    return true;
  }
  CZDLWait wait;
  if (me.wake.wait_until(lock, deadline, [&] { return me.granted; })) return true;
  queue_.erase(place);
  return false;
}

void WriteGate::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty()) {
    held_ = false;
    return;
  }
  // The turn passes directly, so nobody arriving meanwhile can overtake the waiters.
  Waiter* next = queue_.front();
  queue_.pop_front();
  next->granted = true;
  next->wake.notify_one();
}

std::size_t WriteGate::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

}  // namespace zeb::zdl
