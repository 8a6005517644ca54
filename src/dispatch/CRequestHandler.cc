#include "dispatch/CRequestHandler.h"

#include <unistd.h>

#include "soap/Namespaces.h"
#include "zdl/CZDLException.h"

namespace zeb {

const std::string& LocalHostName() {
  static const std::string name = [] {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) return std::string("localhost");
    std::string host(buffer);
    return host.empty() || host.size() > 24 ? std::string("localhost") : host;
  }();
  return name;
}

CRequestHandler::CRequestHandler(RequestContext& context) : context_(context), schemaLocation_(kSchemaLocation) {
  const std::size_t at = schemaLocation_.find("localhost");
  if (at != std::string::npos) schemaLocation_.replace(at, 9, LocalHostName());
}

CXMLElement* CRequestHandler::AddResponseElement(CXMLElement* body, const std::string& responseName,
                                                 Sequence sequence) const {
  CXMLElement* response = body->AddNewChild("zeb:" + responseName);
  AddZebAttributes(response, schemaLocation_, sequence);
  return response;
}

void CRequestHandler::AddStandardResponse(CXMLElement* body, const std::string& responseName, const zdl::CZDLID& id,
                                          Sequence sequence) const {
  CXMLElement* response = AddResponseElement(body, responseName, sequence);
  response->AddChild("return", id.isNull() ? std::string("true") : id.str());
}

void CRequestHandler::AddElementResponse(CXMLElement* body, const std::string& responseName, Sequence sequence,
                                         CXMLElement& holder) const {
  CXMLElement* ret = AddResponseElement(body, responseName, sequence)->AddNewChild("return");
  ret->AdoptChildren(holder);
  ret->RemoveEmptyChildren();
}

zdl::CZDLSession& CRequestHandler::db() const {
  if (!context_.db) throw zdl::CZDLException(zdl::kZDLDatabaseUnavailable, "No configuration database is open.");
  return *context_.db;
}

}  // namespace zeb
