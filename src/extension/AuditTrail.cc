#include "extension/AuditTrail.h"

#include <exception>
#include <iostream>

#include "soap/SecretMask.h"
#include "zdl/AuditLog.h"
#include "zdl/ChangeEvents.h"
#include "zdl/base/Schema.h"

namespace zeb {

AuditTrail::AuditTrail(RequestContext& context, const RequestOrigin& origin, const std::string& requestText,
                       bool auditRows)
    : context_(context), origin_(origin), requestText_(requestText), auditRows_(auditRows) {
  if (context_.db) context_.db->SetCommitHook(this);
}

AuditTrail::~AuditTrail() {
  if (context_.db) context_.db->SetCommitHook(nullptr);
}

void AuditTrail::BeforeCommit(zdl::CZDLSession& session, const zdl::TableDef& table,
                              const zdl::CZDLValue& key) {
  if (written_) return;
  const std::int64_t now = zdl::NowMicros();
  if (auditRows_) {
    zdl::AuditRow row;
    row.timeMicros = now;
    row.node = origin_.node;
    row.requestId = origin_.requestId;
    row.user = origin_.clientUser;
    row.clientAddress = origin_.clientAddress;
    row.forwardedBy = origin_.forwardedBy;
    row.method = context_.method;
    row.recordTable = table.name;
    row.recordId = key.AsText();
    row.request = MaskExchange(requestText_, {}, context_.newValueHarmless).request;
    zdl::AppendAuditRow(session, row);
  }
  // Last: on the shared back end the event's numbering lock is held from here to the commit.
  zdl::ChangeEvent event;
  event.timeMicros = now;
  event.user = origin_.clientUser;
  event.method = context_.method;
  event.kind = zdl::ChangeEventKind(context_.method);
  event.recordTable = table.name;
  event.recordId = key.AsText();
  event.recordName = context_.recordName;
  event.id = zdl::AppendChangeEvent(session, event);
  event_ = std::move(event);
  written_ = true;
}

RefusalAudit::RefusalAudit(std::function<zdl::CZDLSession*()> session)
    : session_(std::move(session)), thread_([this] { Loop(); }) {}

RefusalAudit::~RefusalAudit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void RefusalAudit::Record(zdl::AuditRow row) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queued_.size() < kMaxQueued) {
      queued_.push_back(std::move(row));
      wake_.notify_one();
      return;
    }
  }
  std::cerr << "zebd: audit row of a refused " + row.method + " by '" + row.user + "' dropped: " +
                   std::to_string(kMaxQueued) + " rows are waiting to be written\n"
            << std::flush;
}

void RefusalAudit::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !queued_.empty(); });
    if (queued_.empty()) return;
    std::deque<zdl::AuditRow> rows;
    rows.swap(queued_);
    lock.unlock();
    Write(rows);
    lock.lock();
  }
}

void RefusalAudit::Write(std::deque<zdl::AuditRow>& rows) {
  try {
    zdl::CZDLSession* session = session_();
    if (!session) return;
    zdl::CZDLTransaction transaction(*session);
    for (const zdl::AuditRow& row : rows) zdl::AppendAuditRow(*session, row);
    transaction.Commit();
  } catch (const std::exception& e) {
    std::cerr << "zebd: " + std::to_string(rows.size()) + " audit rows of refused attempts not written: " +
                     e.what() + "\n"
              << std::flush;
  }
}

}  // namespace zeb
