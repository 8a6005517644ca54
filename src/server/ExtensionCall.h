// One call of the extension for one HTTP request: fills an extension control block from the
// request, serves the control block's callbacks, and collects every byte the extension writes.
// Knows nothing of sockets; the caller sends the collected bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "extension/ExtensionControlBlock.h"

namespace zeb::server {

struct ExtensionRequest {
  std::string_view method;          // as sent by the client
  std::string_view queryString;     // without '?'
  std::string_view contentType;     // "" when the header is absent
  std::string_view remoteAddress;   // peer IP as text
  std::string_view remoteUser;      // authenticated user name; "" for anonymous access
  std::string_view body;            // the body bytes held by the host
  // The caller's access (extension/AccessGate.h): ZEB_ROLE, ZEB_RATE_LIMIT and
  // ZEB_WRITE_RATE_LIMIT; an empty one is a variable the host does not have.
  std::string_view role;
  std::string_view rateLimit;
  std::string_view writeRateLimit;
  // Headers a forward to the primary's node carries, or that a forwarding node sent:
  // HTTP_SOAPACTION, HTTP_AUTHORIZATION and HTTP_X_ZEB_FORWARDED_BY; "" when absent.
  std::string_view soapAction;
  std::string_view authorization;
  std::string_view forwardedBy;
  std::uint64_t declaredBytes = 0;  // body size the client announced; > body.size() when the
                                    // body was too large to be read
};

struct ExtensionResult {
  DWORD status = HSE_STATUS_ERROR;  // what HttpExtensionProc returned
  bool threw = false;               // HttpExtensionProc raised an exception
  std::string error;                // its what() when threw
};

// Calls zeb::HttpExtensionProc once and puts the bytes it writes through WriteClient, in order,
// in response (emptied first; its capacity is kept, so that one buffer serves every request of
// a connection). REQUIRES: the extension is loaded. Never throws for an exception of the
// extension; it is reported in the result instead, and response is then empty.
ExtensionResult CallExtension(const ExtensionRequest& request, std::string& response);

}  // namespace zeb::server
