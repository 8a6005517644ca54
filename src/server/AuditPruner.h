// Removes audit rows and change events older than their retentions, in the background: once
// shortly after the start, then every hour, on a thread of its own with its own database session.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace zeb::zdl {
class CZDLDatabase;
}

namespace zeb::server {

class AuditPruner {
 public:
  static constexpr std::chrono::hours kInterval{1};

  // database must outlive the pruner. A retention of 0 days prunes nothing of its kind. warn
  // receives one line per failed pruning.
  AuditPruner(zdl::CZDLDatabase& database, unsigned auditRetentionDays, unsigned eventRetentionDays,
              std::function<void(const std::string&)> warn);
  // Stops the thread (waiting for a pruning under way to end).
  ~AuditPruner();
  AuditPruner(const AuditPruner&) = delete;
  AuditPruner& operator=(const AuditPruner&) = delete;

 private:
  void Loop();

  zdl::CZDLDatabase& database_;
  const unsigned auditRetentionDays_;
  const unsigned eventRetentionDays_;
  const std::function<void(const std::string&)> warn_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace zeb::server
