// Writes the audit row and the change event of a request that changes the configuration:
// installed on the request's database session for the length of the request, it appends them
// inside the first transaction of the request that writes rows, just before that transaction
// commits. So a change never commits without its row and its event, and a refused request
// (whose transaction rolls back) leaves neither. A request that commits several times gets
// one of each, with its first commit. The event is written whether the audit log is on or not.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "soap/RequestContext.h"
#include "zdl/AuditLog.h"
#include "zdl/ChangeEvents.h"
#include "zdl/CZDLSession.h"

namespace zeb {

// Who sent a request, as the trace record shows it.
struct RequestOrigin {
  std::string node;  // this zebd ("host:port")
  std::uint32_t requestId = 0;
  std::string clientAddress;
  std::string clientUser;
  // "node for address" when another node forwarded the request (as that node says); else "".
  std::string forwardedBy;
};

class AuditTrail : public zdl::CommitHook {
 public:
  // Installs itself on context.db (when there is one); auditRows: also write the audit row.
  // context.method, context.recordName and context.newValueHarmless are read when the row is
  // written, so the handler must have set newValueHarmless by then. The texts are the caller's
  // and must outlive this object.
  AuditTrail(RequestContext& context, const RequestOrigin& origin, const std::string& requestText,
             bool auditRows);
  ~AuditTrail() override;
  AuditTrail(const AuditTrail&) = delete;
  AuditTrail& operator=(const AuditTrail&) = delete;

  void BeforeCommit(zdl::CZDLSession& session, const zdl::TableDef& table,
                    const zdl::CZDLValue& key) override;
  // The change event appended, with its id; null when none was. Whether its transaction then
  // committed is for the caller to know.
  const zdl::ChangeEvent* event() const { return written_ ? &event_ : nullptr; }

 private:
  RequestContext& context_;
  const RequestOrigin& origin_;
  const std::string& requestText_;
  const bool auditRows_;
  bool written_ = false;
  zdl::ChangeEvent event_;
};

// Writes the audit rows of refused attempts (AuditRow::refusal), apart from the requests: a
// thread of its own appends what is queued, in one transaction per batch, so that a refusal is
// answered without waiting for the database. At most kMaxQueued rows wait; past that a row is
// dropped and said so on stderr. Thread-safe.
class RefusalAudit {
 public:
  static constexpr std::size_t kMaxQueued = 1000;

  // session returns the calling thread's database session (the writer calls it on its thread).
  explicit RefusalAudit(std::function<zdl::CZDLSession*()> session);
  // Writes what is queued, then ends the thread.
  ~RefusalAudit();
  RefusalAudit(const RefusalAudit&) = delete;
  RefusalAudit& operator=(const RefusalAudit&) = delete;

  void Record(zdl::AuditRow row);

 private:
  void Loop();
  void Write(std::deque<zdl::AuditRow>& rows);

  const std::function<zdl::CZDLSession*()> session_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<zdl::AuditRow> queued_;  // guarded by mutex_
  bool stop_ = false;                 // guarded by mutex_
  std::thread thread_;
};

}  // namespace zeb
