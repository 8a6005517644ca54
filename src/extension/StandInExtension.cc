// TEMPORARY stand-in for the extension, so the HTTP host can be built and tested before the
// real extension is merged. Dropped on merge.
#include <strings.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>

#include "extension/CQuillonExtension.h"

namespace zeb {

namespace {
std::unique_ptr<CQuillonExtension> gExtension;

const char* kRefusals[][3] = {
    {"HTTP/1.1 405 Method Not Allowed\r\nAllow: POST\r\n", "SOAP-ENV:Client",
     "The ZEB API service only accepts the HTTP POST request type."},
    {"HTTP/1.1 415 Unsupported Media Type\r\nAccept: text/xml\r\n", "SOAP-ENV:Client",
     "The ZEB API service can only accept Content-Type: text/xml"},
    {"HTTP/1.1 413 Request Entity Too Large\r\n", "SOAP-ENV:Client",
     "The ZEB API service can not handle a request larger than 40KB."},
};
}  // namespace

void TraceLog::Open(const std::string& dir) {
  std::lock_guard<std::mutex> lock(mutex_);
  out_.open(dir + "/ZEBAPI-0.txt", std::ios::app);
}
void TraceLog::Write(const std::string& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  out_ << record;
}
void TraceLog::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  out_.close();
}

CQuillonExtension::CQuillonExtension(const ExtensionOptions& options)
    : successHeaderPrefix_("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: "),
      options_(options) {
  ::mkdir(options.traceDir.c_str(), 0755);
  trace_.Open(options.traceDir);
}
CQuillonExtension::~CQuillonExtension() { trace_.Close(); }

BOOL CQuillonExtension::GetExtensionVersion(HSE_VERSION_INFO* info) const {
  info->dwExtensionVersion = 4u << 16;
  std::strcpy(info->lpszExtensionDesc, "Quillon Extension");
  return kTrue;
}
BOOL CQuillonExtension::TerminateExtension(DWORD) { return kTrue; }

DWORD CQuillonExtension::HttpExtensionProc(EXTENSION_CONTROL_BLOCK* ecb) {
  if (strcasecmp(ecb->lpszMethod, "GET") != 0 && strcasecmp(ecb->lpszMethod, "POST") != 0) {
    return HSE_STATUS_ERROR;
  }
  ecb->dwHttpStatusCode = 200;
  CallFunction(ecb);
  return HSE_STATUS_SUCCESS;
}

void CQuillonExtension::Refuse(EXTENSION_CONTROL_BLOCK* ecb, int which, std::string* responseText) const {
  std::string body = std::string(
                         "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                         "SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n"
                         "<SOAP-ENV:Body>\r\n<SOAP-ENV:Fault>\r\n<faultcode>") +
                     kRefusals[which][1] + "</faultcode>\r\n<faultstring>" + kRefusals[which][2] +
                     "</faultstring>\r\n</SOAP-ENV:Fault>\r\n</SOAP-ENV:Body>\r\n</SOAP-ENV:Envelope>";
  *responseText = std::string(kRefusals[which][0]) + "Content-Type: text/xml\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\n\r\n" + body;
  DWORD n = static_cast<DWORD>(responseText->size());
  ecb->WriteClient(ecb->ConnID, responseText->data(), &n, 0);
}

int CQuillonExtension::CallFunction(EXTENSION_CONTROL_BLOCK* ecb) {
  ++requestCounter_;
  std::string request, response;
  char addr[25] = {};
  DWORD size = sizeof addr;
  ecb->GetServerVariable(ecb->ConnID, "REMOTE_ADDR", addr, &size);
  std::string type = ecb->lpszContentType;
  for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (strcasecmp(ecb->lpszMethod, "POST") != 0) {
    Refuse(ecb, 0, &response);
  } else if (type.find("text/xml") == std::string::npos) {
    Refuse(ecb, 1, &response);
  } else if (ecb->cbTotalBytes != ecb->cbAvailable) {
    Refuse(ecb, 2, &response);
  } else {
    request.assign(reinterpret_cast<const char*>(ecb->lpbData), ecb->cbAvailable);
    response = "<echo from=\"" + std::string(addr) + "\">" + std::to_string(request.size()) + "</echo>";
    std::string header = successHeaderPrefix_ + std::to_string(response.size()) + "\r\n\r\n";
    DWORD n = static_cast<DWORD>(header.size());
    ecb->WriteClient(ecb->ConnID, header.data(), &n, 0);
    n = static_cast<DWORD>(response.size());
    ecb->WriteClient(ecb->ConnID, response.data(), &n, 0);
  }
  trace_.Write("request " + std::to_string(requestCounter_) + "\n" + request + "\n" + response + "\n");
  return 0;
}

void LoadExtension(const ExtensionOptions& options) { gExtension = std::make_unique<CQuillonExtension>(options); }
void UnloadExtension() { gExtension.reset(); }
CQuillonExtension* LoadedExtension() { return gExtension.get(); }

BOOL GetExtensionVersion(HSE_VERSION_INFO* info) { return gExtension->GetExtensionVersion(info); }
DWORD HttpExtensionProc(EXTENSION_CONTROL_BLOCK* ecb) { return gExtension->HttpExtensionProc(ecb); }
BOOL TerminateExtension(DWORD flags) { return gExtension->TerminateExtension(flags); }

}  // namespace zeb
