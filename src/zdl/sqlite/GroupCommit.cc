#include "zdl/sqlite/GroupCommit.h"

#include <optional>

#include "zdl/base/DatabaseWait.h"

namespace zeb::zdl {

void GroupCommit::Written(std::uint64_t number) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (number > written_) written_ = number;
  changed_.notify_all();
}

void GroupCommit::WaitDurable(std::uint64_t number, const std::function<void()>& sync) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (durable_ >= number) return;
  // The wait is reported (so that a stand-in serves the thread's other requests) once it
  // outlasts a short one, or as this thread starts a sync, which the disk may make long.
  std::optional<CZDLWait> wait;
  const auto reportAt = std::chrono::steady_clock::now() + kUnreportedWait;
  while (durable_ < number) {
    if (syncing_ || written_ <= durable_) {
      // A sync is under way, or the commit waited for is still being written.
      if (wait) {
        changed_.wait(lock);
      } else if (changed_.wait_until(lock, reportAt) == std::cv_status::timeout) {
        wait.emplace();
      }
      continue;
    }
    if (!wait) wait.emplace();
    syncing_ = true;
    const std::uint64_t covered = written_;
    lock.unlock();
    try {
      sync();
    } catch (...) {
      lock.lock();
      syncing_ = false;
      changed_.notify_all();
      throw;
    }
    lock.lock();
    syncing_ = false;
    durable_ = covered;
    changed_.notify_all();
  }
}

}  // namespace zeb::zdl
