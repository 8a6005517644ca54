// The extension object: the request handler behind HttpExtensionProc. It admits or refuses an
// HTTP request, hands an admitted body to the SOAP layer, writes the complete HTTP response
// itself through WriteClient, and leaves one trace record per request.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "extension/AccessGate.h"
#include "extension/AuditTrail.h"
#include "extension/ExtensionControlBlock.h"
#include "extension/RefusalResponses.h"
#include "extension/StandbyGate.h"
#include "extension/TraceLog.h"
#include "zdl/ChangeEvents.h"

namespace zeb {

namespace zdl {
class CZDLSession;
}

// What the extension tells its observer about each request it answered.
struct RequestSummary {
  std::string_view method;     // the request element's local name; "" when none was read
  std::string_view faultCode;  // "" for a response, else the fault's code (RequestContext)
  int refusalStatus = 0;       // HTTP status of a refused request; 0 for an admitted one
  int accessStatus = 0;        // 403 or 429 when the method was refused to its caller; else 0
  std::chrono::steady_clock::duration elapsed{};
  std::size_t traceBytes = 0;  // what the trace record added to the trace file
  bool traceLost = false;      // the trace record did not reach its file whole
  int traceError = 0;          // then the errno that stopped it
  bool directoryFault = false;  // the fault came from the directory server
  bool forwarded = false;       // a write the primary's node answered (relayed as it was)
  // The change event of a request answered without a fault, once its transactions committed;
  // null otherwise (also when a faulted request had committed its event: readers find it in
  // the table).
  const zdl::ChangeEvent* committedEvent = nullptr;
};

struct ExtensionOptions {
  std::string traceDir = "trace";  // created (one level only) when the extension loads
  // Returns the calling thread's database session; empty runs without a configuration database.
  std::function<zdl::CZDLSession*()> session;
  // Appends an audit row for each request that changes the configuration (AuditTrail.h).
  bool audit = false;
  // Each request's time limit: waits for a database or directory server end by then.
  std::chrono::milliseconds requestTimeout{15'000};
  std::string node;  // this server in audit rows: "host:port"
  // Called once per answered request, on the request's thread, after its trace record.
  std::function<void(const RequestSummary&)> observer;
  // Whether the database is read-only now (a hot standby): writes are then forwarded through
  // forwarder, or refused without one (StandbyGate.h). Empty: never. The forwarder is the
  // caller's and outlives the extension.
  std::function<bool()> readOnly;
  WriteForwarder* forwarder = nullptr;
};

class CQuillonExtension {
 public:
  explicit CQuillonExtension(const ExtensionOptions& options);
  ~CQuillonExtension();
  CQuillonExtension(const CQuillonExtension&) = delete;
  CQuillonExtension& operator=(const CQuillonExtension&) = delete;

  BOOL GetExtensionVersion(HSE_VERSION_INFO* info) const;
  // The framework's dispatch: filters the method, collects a POST body, calls CallFunction.
  DWORD HttpExtensionProc(EXTENSION_CONTROL_BLOCK* ecb);
  BOOL TerminateExtension(DWORD flags);

  // The per-request handler. Returns 0.
  int CallFunction(EXTENSION_CONTROL_BLOCK* ecb);

  TraceLog& trace() { return trace_; }

 private:
  void Refuse(EXTENSION_CONTROL_BLOCK* ecb, Refusal which, std::string* responseText) const;
  // The gate of the request's caller, when the host gives a role or a rate limit.
  std::optional<AccessGate> GateFor(EXTENSION_CONTROL_BLOCK* ecb, const RequestOrigin& origin);
  // The request as a forward to the primary's node sends it.
  ForwardedRequest ForwardOf(EXTENSION_CONTROL_BLOCK* ecb, const RequestOrigin& origin) const;

  const std::string successHeaderPrefix_;
  ExtensionOptions options_;
  TraceLog trace_;
  std::atomic<std::uint32_t> requestCounter_{0};
  RateLimiter limiter_;
  std::unique_ptr<RefusalAudit> refusalAudit_;  // with audit rows and a database
};

// Installs the process-wide extension object that the free entry points use. The object lives
// until UnloadExtension (or process end).
void LoadExtension(const ExtensionOptions& options);
void UnloadExtension();
CQuillonExtension* LoadedExtension();

}  // namespace zeb
