#include "zdl/StandbyWatch.h"

#include "zdl/CZDLDatabase.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/DatabaseWait.h"

namespace zeb::zdl {

namespace {
// A poll that takes longer is given up; the next one tries again.
constexpr std::chrono::seconds kPollTimeout{5};
}  // namespace

StandbyWatch::StandbyWatch(CZDLDatabase& database, std::chrono::milliseconds period,
                           std::function<void(const std::string&)> warn)
    : database_(database), period_(period), warn_(std::move(warn)), thread_([this] { Loop(); }) {}

StandbyWatch::~StandbyWatch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  thread_.join();
}

ReplicaStatus StandbyWatch::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

void StandbyWatch::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  bool first = true;
  while (!stopping_) {
    lock.unlock();
    try {
      // A primary is not asked: it becomes a standby only by a restart, which its node's
      // connections notice when they connect again (ServerRole).
      if (first || database_.readOnly()) Poll();
      first = false;
      failing_ = false;
    } catch (const CZDLException& error) {
      if (!failing_) warn_("standby watch: " + error.GetExceptionStr());
      failing_ = true;
    }
    lock.lock();
    stop_.wait_for(lock, period_, [this] { return stopping_; });
  }
}

void StandbyWatch::Poll() {
  const CZDLDeadline deadline(kPollTimeout);
  const ReplicaStatus status = QueryReplicaStatus(database_.Session());
  const bool wasReadOnly = database_.readOnly();
  database_.role().Note(status.readOnly);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
  }
  if (!status.readOnly) {
    // Promoted: what was replayed since the last poll is not known table by table.
    if (wasReadOnly && !position_.empty()) database_.InvalidateForUnknownChange();
    position_.clear();
    return;
  }
  if (status.replayPosition == position_) return;
  if (!position_.empty()) DropReplayedChanges();
  position_ = status.replayPosition;
}

void StandbyWatch::DropReplayedChanges() { database_.InvalidateForUnknownChange(); }

}  // namespace zeb::zdl
