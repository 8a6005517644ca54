#include "zdl/StandbyWatch.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "zdl/CZDLDatabase.h"
#include "zdl/ChangeEvents.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/DatabaseWait.h"

namespace zeb::zdl {

namespace {
// A poll that takes longer is given up; the next one tries again.
constexpr std::chrono::seconds kPollTimeout{5};
constexpr std::size_t kEventBatch = 500;

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}
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
    lastEvent_ = -1;
    return;
  }
  if (lastEvent_ < 0) {
    // What the caches hold from now on follows the events after this one; what they took in
    // before is dropped once.
    CZDLSession& session = database_.Session();
    {
      CZDLReadScope snapshot(session);
      lastEvent_ = NewestChangeEventId(session);
    }
    database_.InvalidateForUnknownChange();
  } else if (status.replayPosition != position_) {
    DropReplayedChanges();
  }
  position_ = status.replayPosition;
}

// The events are read in one snapshot, taken after the poll saw the replay move: an event
// replayed later moves the replay again, and the next poll reads it.
void StandbyWatch::DropReplayedChanges() {
  CZDLSession& session = database_.Session();
  std::vector<std::string> tables;
  bool unknown = false;
  {
    CZDLReadScope snapshot(session);
    std::size_t read = kEventBatch;
    while (read == kEventBatch) {
      read = 0;
      ReadChangeEvents(session, lastEvent_, kEventBatch, [&](const ChangeEvent& event) {
        // A gap means events were pruned unseen; an event without a table names nothing.
        unknown = unknown || event.id != lastEvent_ + 1 || event.recordTable.empty();
        tables.push_back(Lowered(event.recordTable));
        lastEvent_ = event.id;
        ++read;
      });
    }
  }
  if (unknown) return database_.InvalidateForUnknownChange();
  if (tables.empty()) return;  // the replay moved for no change of ours (another database, pruning)
  std::sort(tables.begin(), tables.end());
  tables.erase(std::unique(tables.begin(), tables.end()), tables.end());
  database_.InvalidateForTables(tables);
}

}  // namespace zeb::zdl
