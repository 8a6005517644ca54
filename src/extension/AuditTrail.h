// Writes the audit row of a request that changes the configuration: installed on the request's
// database session for the length of the request, it appends one row inside the first
// transaction of the request that writes rows, just before that transaction commits. So a
// change never commits without its row, and a refused request (whose transaction rolls back)
// leaves none. A request that commits several times (the MGCP methods write as they go) gets
// one row, with its first commit.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "soap/RequestContext.h"
#include "zdl/CZDLSession.h"

namespace zeb {

// Who sent a request, as the trace record shows it.
struct RequestOrigin {
  std::string node;  // this zebd ("host:port")
  std::uint32_t requestId = 0;
  std::string clientAddress;
  std::string clientUser;
};

class AuditTrail : public zdl::CommitHook {
 public:
  // Installs itself on context.db (when there is one). context.method and
  // context.newValueHarmless are read when the row is written, so the handler must have set
  // newValueHarmless by then. The
  // texts are the caller's and must outlive this object.
  AuditTrail(RequestContext& context, const RequestOrigin& origin, const std::string& requestText);
  ~AuditTrail() override;
  AuditTrail(const AuditTrail&) = delete;
  AuditTrail& operator=(const AuditTrail&) = delete;

  void BeforeCommit(zdl::CZDLSession& session, const zdl::TableDef& table,
                    const zdl::CZDLValue& key) override;

 private:
  RequestContext& context_;
  const RequestOrigin& origin_;
  const std::string& requestText_;
  bool written_ = false;
};

}  // namespace zeb
