// Everything one request carries down the road besides the XML itself. Built by the front end
// for each admitted request and handed by reference to the SOAP layer, the dispatcher, the
// handler and the element builders; never stored beyond the request.
#pragma once

#include <string>

namespace zeb {

namespace zdl {
class CZDLSession;
}
class MethodGate;

struct RequestContext {
  // "{" + a fresh upper-case GUID + "}", made once per admitted request.
  std::string versionStamp;
  // The calling thread's database session, or null when the server runs without a database.
  zdl::CZDLSession* db = nullptr;
  // Filled in by the SOAP layer as the request goes, for the front end's counters and audit
  // row: the request element's local name ("" until it is read), and how the request ended (""
  // for a response, else the fault's code: the detailed fault's number, "Client" or "Server").
  std::string method;
  std::string faultCode;
  // The name of the record the request names (its "name" or "pattern", directly or in the
  // record it carries), for the change event; "" when it names none.
  std::string recordName;
  // The request's newValue is known to hold no secret (its parameter was found and is not a
  // secret one): trace records and audit rows keep it. Otherwise they mask it.
  bool newValueHarmless = false;
  // The fault came from the directory server rather than the configuration database.
  bool faultInDirectory = false;
  // Asked once the method is known, before it runs (dispatch/MethodGate.h); null lets every
  // method run. When it refuses, the SOAP layer answers with the refusal's fault and notes here
  // the HTTP status (403 or 429; 0 otherwise) and the seconds to wait, for the front end.
  MethodGate* gate = nullptr;
  int accessStatus = 0;
  long retryAfter = 0;
};

}  // namespace zeb
