#include "server/AuditPruner.h"

#include <exception>

#include "zdl/AuditLog.h"
#include "zdl/ChangeEvents.h"
#include "zdl/CZDLDatabase.h"

namespace zeb::server {

namespace {
// The first pruning waits a moment, so that it does not compete with the start.
constexpr std::chrono::seconds kFirstDelay{5};
constexpr std::int64_t kMicrosPerDay = 86'400'000'000;
}  // namespace

AuditPruner::AuditPruner(zdl::CZDLDatabase& database, unsigned auditRetentionDays, unsigned eventRetentionDays,
                         std::function<void(const std::string&)> warn)
    : database_(database),
      auditRetentionDays_(auditRetentionDays),
      eventRetentionDays_(eventRetentionDays),
      warn_(std::move(warn)),
      thread_([this] { Loop(); }) {}

AuditPruner::~AuditPruner() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void AuditPruner::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::chrono::steady_clock::duration wait = kFirstDelay;
  while (!wake_.wait_for(lock, wait, [this] { return stop_; })) {
    wait = kInterval;
    lock.unlock();
    try {
      // A standby's rows are the primary's, pruned there and replayed.
      if (auditRetentionDays_ && !database_.readOnly())
        zdl::PruneAuditRows(database_.Session(), zdl::NowMicros() - auditRetentionDays_ * kMicrosPerDay);
    } catch (const std::exception& e) {
      warn_(std::string("audit rows could not be pruned: ") + e.what());
    }
    try {
      if (eventRetentionDays_ && !database_.readOnly())
        zdl::PruneChangeEvents(database_.Session(), zdl::NowMicros() - eventRetentionDays_ * kMicrosPerDay);
    } catch (const std::exception& e) {
      warn_(std::string("change events could not be pruned: ") + e.what());
    }
    lock.lock();
  }
}

}  // namespace zeb::server
