// The door between finding a request's method and running it: when the front end controls
// access, it installs a gate for the request (RequestContext::gate), which decides whether the
// caller may call the method now. The gate is asked before the method does any database work.
#pragma once

#include <optional>
#include <string>

#include "dispatch/MethodTable.h"

namespace zeb {

// A request refused before its method ran: answered with a plain Client fault holding text,
// under the HTTP status given (403 or 429, with retryAfter seconds for 429; 0 for the usual
// 200), or with a Server fault when the refusal is no fault of the caller's. A request that
// another node served (forwarded) is no refusal: the front end writes that node's answer, and
// the SOAP layer adds nothing.
struct AccessRefusal {
  int status = 0;
  std::string text;
  long retryAfter = 0;
  bool serverFault = false;
  bool servedElsewhere = false;
};

class MethodGate {
 public:
  virtual ~MethodGate() = default;
  // The refusal of this call of method, or nullopt to run it.
  virtual std::optional<AccessRefusal> Admit(const MethodEntry& method) = 0;
};

}  // namespace zeb
