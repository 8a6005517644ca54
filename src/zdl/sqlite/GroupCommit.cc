#include "zdl/sqlite/GroupCommit.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <optional>

#include "zdl/base/DatabaseWait.h"

namespace zeb::zdl {

namespace {
constexpr std::chrono::microseconds kSyncPause{1000};
}  // namespace

GroupCommit::~GroupCommit() { Stop(); }

void GroupCommit::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  if (syncer_.joinable()) syncer_.join();
}

void GroupCommit::Written(std::uint64_t number) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (number > written_) written_ = number;
  changed_.notify_all();
}

void GroupCommit::WaitDurable(std::uint64_t number, const std::function<void()>& sync) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (durable_ >= number) return;
  if (backgroundSync_ && !stopping_ && DeferredDurability::Note(*this, number)) return;
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
    durable_ = std::max(durable_, covered);
    changed_.notify_all();
  }
}

void GroupCommit::WhenDurable(std::uint64_t number, std::function<void(bool durable)> done) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (durable_ >= number) {
    lock.unlock();
    return done(true);
  }
  if (stopping_) {
    // No syncing thread any more: this thread syncs.
    lock.unlock();
    bool durable = true;
    try {
      WaitDurable(number, backgroundSync_);
    } catch (...) {
      durable = false;
    }
    return done(durable);
  }
  dones_.emplace_back(number, std::move(done));
  if (!syncer_.joinable()) syncer_ = std::thread([this] { Syncs(); });
  changed_.notify_all();
}

void GroupCommit::TakeDones(std::uint64_t upTo, std::vector<Done>& ready) {
  const auto waiting = std::stable_partition(dones_.begin(), dones_.end(),
                                             [upTo](const Done& done) { return done.first > upTo; });
  std::move(waiting, dones_.end(), std::back_inserter(ready));
  dones_.erase(waiting, dones_.end());
}

// Syncs while a done waits for a commit that is written, each covering every commit written
// since the one before it began.
void GroupCommit::Syncs() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::vector<Done> ready;
  std::chrono::steady_clock::time_point lastStart{};
  const auto hand = [&](bool durable) {
    lock.unlock();
    for (auto& done : ready) done.second(durable);
    ready.clear();
    lock.lock();
  };
  for (;;) {
    TakeDones(durable_, ready);
    if (!ready.empty()) {
      hand(true);
      continue;
    }
    if (dones_.empty() && stopping_) return;
    if (dones_.empty() || syncing_ || written_ <= durable_) {
      // Once stopping, nothing is written any more: a done still waiting cannot be covered.
      if (stopping_ && !syncing_) {
        TakeDones(UINT64_MAX, ready);
        hand(false);
        continue;
      }
      changed_.wait(lock);
      continue;
    }
    // While other writers wait for their turn, syncs start at most once a pause, so that their
    // commits share the next one (a sync costs the processor too); only answers wait for it, and
    // their threads serve others. A writer alone gets its sync at once.
    const auto now = std::chrono::steady_clock::now();
    if (now < lastStart + kSyncPause && !stopping_ && moreComing_ && moreComing_()) {
      changed_.wait_until(lock, lastStart + kSyncPause);
      continue;
    }
    lastStart = now;
    syncing_ = true;
    const std::uint64_t covered = written_;
    lock.unlock();
    bool synced = true;
    try {
      backgroundSync_();
    } catch (...) {
      synced = false;
    }
    lock.lock();
    syncing_ = false;
    changed_.notify_all();
    if (synced) {
      durable_ = std::max(durable_, covered);
    } else {
      TakeDones(covered, ready);  // they learn it; later commits wait for the next try
      hand(false);
    }
  }
}

}  // namespace zeb::zdl
