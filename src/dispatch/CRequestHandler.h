// The base of every method handler: one object per request, made by CreateHandler, Execute
// called once, destroyed afterwards. It knows the schema location of the answering machine
// and writes the two standard responses.
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

// This machine's host name as the system reports it, when it has at most 24 characters; else
// "localhost". Read once per process.
const std::string& LocalHostName();

class CRequestHandler {
 public:
  explicit CRequestHandler(RequestContext& context);
  virtual ~CRequestHandler() = default;
  CRequestHandler(const CRequestHandler&) = delete;
  CRequestHandler& operator=(const CRequestHandler&) = delete;

  // Reads the request element, does the work and appends the response element to body, or
  // throws. Called exactly once.
  virtual void Execute(XmlNode request, CXMLElement* body, Sequence sequence) = 0;

  const std::string& GetSchemaLocation() const { return schemaLocation_; }

 protected:
  // Appends zeb:<responseName> whose return holds the identifier text, or "true" for null.
  void AddStandardResponse(CXMLElement* body, const std::string& responseName, const zdl::CZDLID& id,
                           Sequence sequence) const;
  // Appends zeb:<responseName> whose return receives the children of holder (moved, in order).
  void AddElementResponse(CXMLElement* body, const std::string& responseName, Sequence sequence,
                          CXMLElement& holder) const;
  // Appends the bare zeb:<responseName> element with its attributes; the caller fills it.
  CXMLElement* AddResponseElement(CXMLElement* body, const std::string& responseName, Sequence sequence) const;

  RequestContext& context() const { return context_; }
  // The request's database session. Throws CZDLException kZDLDatabaseUnavailable when the
  // server runs without a database.
  zdl::CZDLSession& db() const;

 private:
  RequestContext& context_;
  std::string schemaLocation_;
};

}  // namespace zeb
