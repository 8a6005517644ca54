// The web server extension interface as the extension sees it: one control block per request,
// filled by the HTTP host, with callbacks for server variables and for reading and writing the
// client connection. The extension never sees the host's sockets or HTTP library.
#pragma once

#include <cstdint>

namespace zeb {

using DWORD = std::uint32_t;
using BOOL = int;
using HCONN = void*;

constexpr BOOL kTrue = 1;
constexpr BOOL kFalse = 0;

// Results of HttpExtensionProc.
constexpr DWORD HSE_STATUS_SUCCESS = 1;
constexpr DWORD HSE_STATUS_ERROR = 4;

constexpr int HSE_MAX_EXT_DLL_NAME_LEN = 256;

struct HSE_VERSION_INFO {
  DWORD dwExtensionVersion = 0;
  char lpszExtensionDesc[HSE_MAX_EXT_DLL_NAME_LEN] = {};
};

// One request. The host owns every pointer and keeps them valid for the length of the
// HttpExtensionProc call.
struct EXTENSION_CONTROL_BLOCK {
  HCONN ConnID = nullptr;             // passed back to every callback
  DWORD dwHttpStatusCode = 0;         // what the host logs; set by the extension framework
  const char* lpszMethod = "";        // request method as sent ("POST", "get", ...)
  const char* lpszQueryString = "";   // query string, without '?'
  const char* lpszContentType = "";   // Content-Type header, "" when absent
  DWORD cbTotalBytes = 0;             // declared body size
  DWORD cbAvailable = 0;              // body bytes delivered with the request (at lpbData)
  const unsigned char* lpbData = nullptr;

  // Copies the variable into buf (NUL-terminated). *size is the buffer size on entry and the
  // bytes needed or written on return. Returns kFalse when the variable is unknown or the
  // buffer is too small.
  BOOL (*GetServerVariable)(HCONN, const char* name, char* buf, DWORD* size) = nullptr;
  // Sends *bytes bytes to the client; synchronous. Returns kFalse when the client is gone.
  BOOL (*WriteClient)(HCONN, const void* buf, DWORD* bytes, DWORD reserved) = nullptr;
  // Reads up to *size further body bytes; *size is 0 when nothing more arrives.
  BOOL (*ReadClient)(HCONN, void* buf, DWORD* size) = nullptr;
};

// The three entry points the host calls. LoadExtension must have been called first (see
// CQuillonExtension.h).
BOOL GetExtensionVersion(HSE_VERSION_INFO* info);
DWORD HttpExtensionProc(EXTENSION_CONTROL_BLOCK* ecb);
BOOL TerminateExtension(DWORD flags);

}  // namespace zeb
