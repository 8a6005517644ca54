#include "extension/AuditTrail.h"

#include "soap/SecretMask.h"
#include "zdl/AuditLog.h"
#include "zdl/base/Schema.h"

namespace zeb {

AuditTrail::AuditTrail(RequestContext& context, const RequestOrigin& origin, const std::string& requestText)
    : context_(context), origin_(origin), requestText_(requestText) {
  if (context_.db) context_.db->SetCommitHook(this);
}

AuditTrail::~AuditTrail() {
  if (context_.db) context_.db->SetCommitHook(nullptr);
}

void AuditTrail::BeforeCommit(zdl::CZDLSession& session, const zdl::TableDef& table,
                              const zdl::CZDLValue& key) {
  if (written_) return;
  zdl::AuditRow row;
  row.timeMicros = zdl::NowMicros();
  row.node = origin_.node;
  row.requestId = origin_.requestId;
  row.user = origin_.clientUser;
  row.clientAddress = origin_.clientAddress;
  row.method = context_.method;
  row.recordTable = table.name;
  row.recordId = key.AsText();
  row.request = MaskExchange(requestText_, {}, context_.newValueHarmless).request;
  zdl::AppendAuditRow(session, row);
  written_ = true;
}

}  // namespace zeb
