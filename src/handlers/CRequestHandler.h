// The base of every handler family. A family is one class whose public operations each serve
// one method; the method table binds each method name to its operation through Serve, which
// makes one handler object for the request and calls the operation once. An operation writes
// only the content of its response's "return" element; the request road wraps it in
// <method>Response with the request's sequence.
#pragma once

#include <string>

#include "soap/CXMLElement.h"
#include "soap/Faults.h"
#include "soap/RequestContext.h"
#include "soap/XmlDocument.h"
#include "zdl/base/CZDLID.h"

namespace zeb {

namespace zdl {
class CZDLSession;
}

// The shape of every operation of a handler family: it reads request (the method's element) and
// fills result (the content of the response's "return" element), or throws. Families declare
// their operations with it ("HandlerOperation Add, Get;"), so the shape is written once.
using HandlerOperation = void(XmlNode request, CXMLElement& result);

class CRequestHandler {
 public:
  explicit CRequestHandler(RequestContext& context);
  virtual ~CRequestHandler() = default;
  CRequestHandler(const CRequestHandler&) = delete;
  CRequestHandler& operator=(const CRequestHandler&) = delete;

 protected:
  // The standard answer of add, update and remove: the identifier text, or "true" for null.
  static void Return(CXMLElement& result, const zdl::CZDLID& id);
  // The answer of get methods: the children of holder, moved in order. A builder that found no
  // record stays as a child that writes nothing, so `return` then still ends its start tag with
  // CR LF, as any element with children does.
  static void ReturnChildren(CXMLElement& result, CXMLElement& holder);

  RequestContext& context() const { return context_; }
  // The request's database session. Throws CZDLException kZDLDatabaseUnavailable when the
  // server runs without a database.
  zdl::CZDLSession& db() const;

 private:
  RequestContext& context_;
};

// Serves a method by one operation of a handler family: the handler is made for the request
// (with args, such as the family's kind, after the context) and the operation called once.
template <class Handler, HandlerOperation Handler::*Operation, const auto&... args>
void Serve(RequestContext& context, XmlNode request, CXMLElement& result) {
  Handler handler(context, args...);
  (handler.*Operation)(request, result);
}

}  // namespace zeb
