#include "server/ExtensionCall.h"

#include <cstring>
#include <exception>
#include <limits>

#include "extension/AccessGate.h"

namespace zeb::server {

namespace {

// What the callbacks reach through the control block's ConnID.
struct CallContext {
  const ExtensionRequest* request;
  std::string* response;
};

CallContext* ContextOf(HCONN conn) { return static_cast<CallContext*>(conn); }

// Copies value with its terminator into buf when it fits; *size becomes the bytes needed.
BOOL CopyVariable(std::string_view value, char* buf, DWORD* size) {
  DWORD needed = static_cast<DWORD>(value.size() + 1);
  DWORD capacity = *size;
  *size = needed;
  if (buf == nullptr || capacity < needed) return kFalse;
  std::memcpy(buf, value.data(), value.size());
  buf[value.size()] = '\0';
  return kTrue;
}

BOOL GetServerVariable(HCONN conn, const char* name, char* buf, DWORD* size) {
  if (name == nullptr || size == nullptr) return kFalse;
  std::string_view variable(name);
  if (variable == "REMOTE_ADDR") return CopyVariable(ContextOf(conn)->request->remoteAddress, buf, size);
  if (variable == "REMOTE_USER") return CopyVariable(ContextOf(conn)->request->remoteUser, buf, size);
  const ExtensionRequest& request = *ContextOf(conn)->request;
  for (const auto& [known, value] : {std::pair{kRoleVariable, request.role},
                                     std::pair{kRateLimitVariable, request.rateLimit},
                                     std::pair{kWriteRateLimitVariable, request.writeRateLimit},
                                     std::pair{"HTTP_SOAPACTION", request.soapAction},
                                     std::pair{"HTTP_AUTHORIZATION", request.authorization},
                                     std::pair{"HTTP_X_ZEB_FORWARDED_BY", request.forwardedBy}}) {
    if (variable == known) return value.empty() ? kFalse : CopyVariable(value, buf, size);
  }
  return kFalse;
}

// Collects the bytes; the session sends them once the extension has returned, under its
// write time-out, so a client that does not read cannot hold a worker thread.
BOOL WriteClient(HCONN conn, const void* buf, DWORD* bytes, DWORD /*reserved*/) {
  if (bytes == nullptr || (buf == nullptr && *bytes != 0)) return kFalse;
  ContextOf(conn)->response->append(static_cast<const char*>(buf), *bytes);
  return kTrue;
}

// Bodies are read whole before the call or not at all, so there is never more to read.
BOOL ReadClient(HCONN /*conn*/, void* /*buf*/, DWORD* size) {
  if (size != nullptr) *size = 0;
  return kTrue;
}

DWORD ClampToDword(std::uint64_t value) {
  constexpr std::uint64_t kMax = std::numeric_limits<DWORD>::max();
  return static_cast<DWORD>(value > kMax ? kMax : value);
}

}  // namespace

ExtensionResult CallExtension(const ExtensionRequest& request, std::string& response) {
  ExtensionResult result;
  response.clear();
  CallContext context{&request, &response};
  // The control block wants NUL-terminated texts; the views point into larger buffers.
  const std::string method(request.method);
  const std::string query(request.queryString);
  const std::string contentType(request.contentType);

  EXTENSION_CONTROL_BLOCK ecb;
  ecb.ConnID = &context;
  ecb.lpszMethod = method.c_str();
  ecb.lpszQueryString = query.c_str();
  ecb.lpszContentType = contentType.c_str();
  ecb.cbTotalBytes = ClampToDword(request.declaredBytes);
  ecb.cbAvailable = ClampToDword(request.body.size());
  ecb.lpbData = reinterpret_cast<const unsigned char*>(request.body.data());
  ecb.GetServerVariable = &GetServerVariable;
  ecb.WriteClient = &WriteClient;
  ecb.ReadClient = &ReadClient;
  try {
    result.status = HttpExtensionProc(&ecb);
  } catch (const std::exception& e) {
    result = ExtensionResult{HSE_STATUS_ERROR, true, e.what()};
  } catch (...) {
    result = ExtensionResult{HSE_STATUS_ERROR, true, "unknown exception"};
  }
  if (result.threw) response.clear();
  return result;
}

}  // namespace zeb::server
