#include "extension/CQuillonExtension.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

#include "dispatch/RequestContext.h"
#include "extension/RefusalResponses.h"
#include "extension/VersionStamp.h"
#include "soap/ProcessSOAPRequest.h"
#include "zdl/CGenericBuffer.h"

namespace zeb {

namespace {

constexpr std::size_t kResponseBufferSize = 20480;

// The variable's value, cut to its first 24 characters; "" when the server has none.
std::string ServerVariable(EXTENSION_CONTROL_BLOCK* ecb, const char* name) {
  if (!ecb->GetServerVariable) return "";
  char buffer[25] = {};
  DWORD size = sizeof buffer;
  if (ecb->GetServerVariable(ecb->ConnID, name, buffer, &size)) {
    buffer[24] = '\0';
    return buffer;
  }
  // A longer value does not fit the buffer; fetch it whole and keep its start.
  if (size <= sizeof buffer || size > 4096) return "";
  std::string value(size, '\0');
  if (!ecb->GetServerVariable(ecb->ConnID, name, value.data(), &size)) return "";
  value.resize(std::min<std::size_t>(std::strlen(value.c_str()), 24));
  return value;
}

void Write(EXTENSION_CONTROL_BLOCK* ecb, const char* bytes, std::size_t length) {
  DWORD size = static_cast<DWORD>(length);
  if (ecb->WriteClient) ecb->WriteClient(ecb->ConnID, bytes, &size, 0);
}

bool ContainsTextXml(const char* contentType) {
  std::string lowered = contentType ? contentType : "";
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lowered.find("text/xml") != std::string::npos;
}

std::unique_ptr<CQuillonExtension> gExtension;

}  // namespace

CQuillonExtension::CQuillonExtension(const ExtensionOptions& options)
    : successHeaderPrefix_("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: "),
      options_(options),
      trace_(options.traceDir) {
  trace_.CreateDirectory();
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

int CQuillonExtension::CallFunction(EXTENSION_CONTROL_BLOCK* ecb) {
  const std::uint32_t requestId = ++requestCounter_;
  std::string requestText;
  std::string responseText;
  const std::time_t requestTime = std::time(nullptr);
  const std::string clientAddress = ServerVariable(ecb, "REMOTE_ADDR");
  const std::string clientUser = ServerVariable(ecb, "REMOTE_USER");

  if (strcasecmp(ecb->lpszMethod ? ecb->lpszMethod : "", "POST") != 0) {
    Refuse(ecb, Refusal::kMethodNotAllowed, &responseText);
  } else if (!ContainsTextXml(ecb->lpszContentType)) {
    Refuse(ecb, Refusal::kUnsupportedMediaType, &responseText);
  } else if (ecb->cbTotalBytes != ecb->cbAvailable) {
    Refuse(ecb, Refusal::kTooLarge, &responseText);
  } else {
    try {
      // The SOAP layer reads the body as a C string, so the request text (and its trace) ends at
      // the first NUL byte.
      const char* body = reinterpret_cast<const char*>(ecb->lpbData);
      if (ecb->cbAvailable) requestText.assign(body, std::find(body, body + ecb->cbAvailable, '\0'));
    } catch (const std::bad_alloc&) {
      Refuse(ecb, Refusal::kNoResources, &responseText);
    }
    if (responseText.empty()) {
      zdl::CGenericBuffer buffer(kResponseBufferSize);
      RequestContext context;
      context.versionStamp = NewVersionStamp();
      if (options_.session) context.db = options_.session();
      const long length = ProcessSOAPRequest(requestText.c_str(), buffer, context);
      const std::string header = successHeaderPrefix_ + std::to_string(length) + "\r\n\r\n";
      Write(ecb, header.data(), header.size());
      Write(ecb, buffer.GetData(), static_cast<std::size_t>(length));
      responseText = std::move(buffer.str());
    }
  }
  trace_.WriteTraceRecord(requestText, requestId, requestTime, responseText, clientAddress, clientUser);
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
