// The base of every method handler: one object per request, made by CreateHandler, Execute
// called once, destroyed afterwards. A handler writes only the content of its response's
// "return" element; the SOAP layer wraps it in <method>Response with the request's sequence.
#pragma once

#include <string>

#include "dispatch/RequestContext.h"
#include "soap/CXMLElement.h"
#include "soap/Faults.h"
#include "soap/XmlDocument.h"
#include "zdl/CZDLID.h"

namespace zeb {

namespace zdl {
class CZDLSession;
}

class CRequestHandler {
 public:
  explicit CRequestHandler(RequestContext& context);
  virtual ~CRequestHandler() = default;
  CRequestHandler(const CRequestHandler&) = delete;
  CRequestHandler& operator=(const CRequestHandler&) = delete;

  // Reads the request element, does the work and fills result (the response's "return"
  // element), or throws. Called exactly once.
  virtual void Execute(XmlNode request, CXMLElement& result) = 0;

 protected:
  // The standard answer of add, update and remove: the identifier text, or "true" for null.
  static void Return(CXMLElement& result, const zdl::CZDLID& id);
  // The answer of get methods: the children of holder, moved in order, without those that
  // write nothing.
  static void ReturnChildren(CXMLElement& result, CXMLElement& holder);

  RequestContext& context() const { return context_; }
  // The request's database session. Throws CZDLException kZDLDatabaseUnavailable when the
  // server runs without a database.
  zdl::CZDLSession& db() const;

 private:
  RequestContext& context_;
};

}  // namespace zeb
