#include "extension/CQuillonExtension.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

#include "dispatch/ProcessSOAPRequest.h"
#include "extension/AuditTrail.h"
#include "extension/RefusalResponses.h"
#include "extension/VersionStamp.h"
#include "soap/RequestContext.h"
#include "soap/SecretMask.h"
#include "zdl/CGenericBuffer.h"
#include "zdl/base/DatabaseWait.h"

namespace zeb {

namespace {

constexpr std::size_t kResponseBufferSize = 20480;

// A request header the extension reads (Authorization may hold a long bearer of credentials).
constexpr DWORD kMaxVariableBytes = 8192;
// The header through which a forwarding node names itself and its client (StandbyGate.h).
constexpr char kForwardedByVariable[] = "HTTP_X_ZEB_FORWARDED_BY";
constexpr std::size_t kMaxForwardedBy = 200;

// The variable's whole value; "" when the server has none.
std::string ServerVariable(EXTENSION_CONTROL_BLOCK* ecb, const char* name) {
  if (!ecb->GetServerVariable) return "";
  char buffer[64] = {};
  DWORD size = sizeof buffer;
  if (ecb->GetServerVariable(ecb->ConnID, name, buffer, &size)) return std::string(buffer, strnlen(buffer, sizeof buffer));
  if (size <= sizeof buffer || size > kMaxVariableBytes) return "";
  std::string value(size, '\0');
  if (!ecb->GetServerVariable(ecb->ConnID, name, value.data(), &size)) return "";
  value.resize(std::strlen(value.c_str()));
  return value;
}

// The trace record keeps a server variable the way a 25-byte buffer holds it.
std::string TraceField(const std::string& value) { return value.substr(0, 24); }

int RefusalStatus(Refusal refusal) {
  switch (refusal) {
    case Refusal::kMethodNotAllowed: return 405;
    case Refusal::kUnsupportedMediaType: return 415;
    case Refusal::kTooLarge: return 413;
    case Refusal::kNoResources: return 503;
  }
  return 0;
}

// The status line and headers of a method refused to its caller, up to the body's length.
std::string AccessRefusalHeaderPrefix(int status, long retryAfter) {
  if (status == 429)
    return "HTTP/1.1 429 Too Many Requests\r\nRetry-After: " + std::to_string(retryAfter) +
           "\r\nContent-Type: text/xml\r\nContent-Length: ";
  return "HTTP/1.1 403 Forbidden\r\nContent-Type: text/xml\r\nContent-Length: ";
}

void Write(EXTENSION_CONTROL_BLOCK* ecb, const char* bytes, std::size_t length) {
  DWORD size = static_cast<DWORD>(length);
  if (ecb->WriteClient) ecb->WriteClient(ecb->ConnID, bytes, &size, 0);
}

constexpr std::string_view kTextXml = "text/xml";

// Case-insensitive, without a lowered copy of the header.
bool ContainsTextXml(const char* contentType) {
  if (!contentType) return false;
  const std::string_view text(contentType);
  const auto it = std::search(text.begin(), text.end(), kTextXml.begin(), kTextXml.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
  return it != text.end();
}

// What a forwarding node says of itself, when it is a short printable text; else "".
std::string ForwardedBy(const std::string& claimed) {
  if (claimed.size() > kMaxForwardedBy) return "";
  for (unsigned char c : claimed) {
    if (c < 0x20 || c > 0x7e) return "";
  }
  return claimed;
}

std::unique_ptr<CQuillonExtension> gExtension;

}  // namespace

CQuillonExtension::CQuillonExtension(const ExtensionOptions& options)
    : successHeaderPrefix_("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: "),
      options_(options),
      trace_(options.traceDir) {
  trace_.CreateDirectory();
  if (options_.audit && options_.session) refusalAudit_ = std::make_unique<RefusalAudit>(options_.session);
}

CQuillonExtension::~CQuillonExtension() { trace_.CloseTraceLog(); }

BOOL CQuillonExtension::GetExtensionVersion(HSE_VERSION_INFO* info) const {
  info->dwExtensionVersion = (4u << 16) | 0u;
  std::snprintf(info->lpszExtensionDesc, sizeof info->lpszExtensionDesc, "%s", "Quillon Extension");
  return kTrue;
}

DWORD CQuillonExtension::HttpExtensionProc(EXTENSION_CONTROL_BLOCK* ecb) {
  ecb->dwHttpStatusCode = 0;
  const char* method = ecb->lpszMethod ? ecb->lpszMethod : "";
  if (strcasecmp(method, "GET") != 0 && strcasecmp(method, "POST") != 0) return HSE_STATUS_ERROR;
  ecb->dwHttpStatusCode = 200;
  CallFunction(ecb);
  return HSE_STATUS_SUCCESS;
}

BOOL CQuillonExtension::TerminateExtension(DWORD) { return kTrue; }

void CQuillonExtension::Refuse(EXTENSION_CONTROL_BLOCK* ecb, Refusal which, std::string* responseText) const {
  *responseText = RefusalResponse(which);
  Write(ecb, responseText->data(), responseText->size());
}

std::optional<AccessGate> CQuillonExtension::GateFor(EXTENSION_CONTROL_BLOCK* ecb, const RequestOrigin& origin) {
  const std::string role = ServerVariable(ecb, kRoleVariable);
  const std::optional<RateLimit> all = RateLimit::Parse(ServerVariable(ecb, kRateLimitVariable));
  const std::optional<RateLimit> writes = RateLimit::Parse(ServerVariable(ecb, kWriteRateLimitVariable));
  if (role.empty() && !all && !writes) return std::nullopt;
  // A role the extension does not know allows nothing.
  std::optional<Role> granted;
  if (!role.empty()) granted = ParseRole(role).value_or(Role::kNone);
  return std::optional<AccessGate>(std::in_place, origin.clientUser, origin.clientAddress, granted, all, writes,
                                   limiter_);
}

ForwardedRequest CQuillonExtension::ForwardOf(EXTENSION_CONTROL_BLOCK* ecb, const RequestOrigin& origin) const {
  ForwardedRequest request;
  request.body = std::string_view(reinterpret_cast<const char*>(ecb->lpbData), ecb->cbAvailable);
  request.contentType = ecb->lpszContentType ? ecb->lpszContentType : "";
  request.soapAction = ServerVariable(ecb, "HTTP_SOAPACTION");
  request.authorization = ServerVariable(ecb, "HTTP_AUTHORIZATION");
  request.forwardedBy = origin.node + " for " + origin.clientAddress;
  return request;
}

int CQuillonExtension::CallFunction(EXTENSION_CONTROL_BLOCK* ecb) {
  const auto started = std::chrono::steady_clock::now();
  RequestOrigin origin;
  origin.node = options_.node;
  origin.requestId = ++requestCounter_;
  std::string requestText;
  std::string responseText;
  const std::time_t requestTime = std::time(nullptr);
  origin.clientAddress = ServerVariable(ecb, "REMOTE_ADDR");
  origin.clientUser = ServerVariable(ecb, "REMOTE_USER");
  origin.forwardedBy = ForwardedBy(ServerVariable(ecb, kForwardedByVariable));
  RequestContext context;
  std::optional<zdl::ChangeEvent> committedEvent;
  bool forwarded = false;
  Refusal refusal{};
  bool refused = true;

  if (strcasecmp(ecb->lpszMethod ? ecb->lpszMethod : "", "POST") != 0) {
    refusal = Refusal::kMethodNotAllowed;
  } else if (!ContainsTextXml(ecb->lpszContentType)) {
    refusal = Refusal::kUnsupportedMediaType;
  } else if (ecb->cbTotalBytes != ecb->cbAvailable) {
    refusal = Refusal::kTooLarge;
  } else {
    refused = false;
    try {
      // The SOAP layer reads the body as a C string, so the request text (and its trace) ends at
      // the first NUL byte.
      const char* body = reinterpret_cast<const char*>(ecb->lpbData);
      if (ecb->cbAvailable) requestText.assign(body, std::find(body, body + ecb->cbAvailable, '\0'));
    } catch (const std::bad_alloc&) {
      refused = true;
      refusal = Refusal::kNoResources;
    }
    if (!refused) {
      zdl::CGenericBuffer buffer(kResponseBufferSize);
      context.versionStamp = NewVersionStamp();
      // Every wait for a server in this request ends by then (see zdl/DatabaseWait.h).
      const zdl::CZDLDeadline deadline(options_.requestTimeout);
      if (options_.session) context.db = options_.session();
      std::optional<AuditTrail> audit;
      if (context.db) audit.emplace(context, origin, requestText, options_.audit);
      std::optional<AccessGate> gate = GateFor(ecb, origin);
      if (gate) context.gate = &*gate;
      // On a read-only node, writes are forwarded or refused before the caller's access is
      // checked: the primary's node checks it, and writes the audit row of a refusal.
      ForwardedRequest forward;
      std::optional<StandbyGate> standby;
      if (options_.readOnly && options_.readOnly()) {
        forward = ForwardOf(ecb, origin);
        standby.emplace(options_.forwarder, forward, context.gate);
        context.gate = &*standby;
      }
      const long length = ProcessSOAPRequest(requestText.c_str(), buffer, context);
      forwarded = standby && standby->forwarded();
      // A failed commit throws, and every throw ends as the request's fault: without one, the
      // event's transaction committed.
      if (audit && audit->event() && context.faultCode.empty()) committedEvent = *audit->event();
      if (forwarded) {
        // The primary's answer as it came; the trace record says where it came from.
        Write(ecb, standby->relayed().data(), standby->relayed().size());
        responseText = "Forwarded to " + options_.forwarder->primary() + "\n" + standby->relayed();
      } else {
        const std::string header =
            (context.accessStatus ? AccessRefusalHeaderPrefix(context.accessStatus, context.retryAfter)
                                  : successHeaderPrefix_) +
            std::to_string(length) + "\r\n\r\n";
        Write(ecb, header.data(), header.size());
        Write(ecb, buffer.GetData(), static_cast<std::size_t>(length));
        responseText = std::move(buffer.str());
        // A refusal's trace record shows its status line, as the front end's own refusals do.
        if (context.accessStatus) responseText.insert(0, header);
      }
      // The client gets its bytes as they are; the trace file never holds a secret.
      MaskedExchange masked =
          MaskExchange(std::move(requestText), std::move(responseText), context.newValueHarmless);
      requestText = std::move(masked.request);
      responseText = std::move(masked.response);
    }
  }
  if (refused) Refuse(ecb, refusal, &responseText);
  // A read-only node cannot write the row of a refused read; its trace record keeps it.
  const bool writable = !options_.readOnly || !options_.readOnly();
  if (context.accessStatus == 403 && refusalAudit_ && writable) {
    zdl::AuditRow row;
    row.timeMicros = zdl::NowMicros();
    row.node = origin.node;
    row.requestId = origin.requestId;
    row.user = origin.clientUser;
    row.clientAddress = origin.clientAddress;
    row.method = context.method;
    row.request = requestText;  // masked above
    row.refusal = "forbidden";
    row.forwardedBy = origin.forwardedBy;
    refusalAudit_->Record(std::move(row));
  }
  RequestSummary summary;
  const TraceLog::Written traced =
      trace_.WriteTraceRecord(requestText, origin.requestId, requestTime, responseText,
                              TraceField(origin.clientAddress), TraceField(origin.clientUser));
  summary.traceBytes = traced.bytes;
  summary.traceLost = !traced.whole;
  summary.traceError = traced.error;
  if (options_.observer) {
    summary.method = context.method;
    summary.faultCode = context.faultCode;
    summary.directoryFault = context.faultInDirectory;
    summary.refusalStatus = refused ? RefusalStatus(refusal) : 0;
    summary.accessStatus = context.accessStatus;
    summary.forwarded = forwarded;
    summary.committedEvent = committedEvent ? &*committedEvent : nullptr;
    summary.elapsed = std::chrono::steady_clock::now() - started;
    options_.observer(summary);
  }
  return 0;
}

void LoadExtension(const ExtensionOptions& options) { gExtension = std::make_unique<CQuillonExtension>(options); }

void UnloadExtension() { gExtension.reset(); }

CQuillonExtension* LoadedExtension() { return gExtension.get(); }

BOOL GetExtensionVersion(HSE_VERSION_INFO* info) { return gExtension->GetExtensionVersion(info); }

DWORD HttpExtensionProc(EXTENSION_CONTROL_BLOCK* ecb) {
  if (!gExtension) return HSE_STATUS_ERROR;
  return gExtension->HttpExtensionProc(ecb);
}

BOOL TerminateExtension(DWORD flags) { return gExtension ? gExtension->TerminateExtension(flags) : kTrue; }

}  // namespace zeb
