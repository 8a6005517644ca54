#include "handlers/CRequestHandler.h"

#include "zdl/base/CZDLException.h"

namespace zeb {

CRequestHandler::CRequestHandler(RequestContext& context) : context_(context) {}

void CRequestHandler::Return(CXMLElement& result, const zdl::CZDLID& id) {
  result.SetText(id.isNull() ? std::string("true") : id.str());
}

void CRequestHandler::ReturnChildren(CXMLElement& result, CXMLElement& holder) {
  result.AdoptChildren(holder);
}

zdl::CZDLSession& CRequestHandler::db() const {
  if (!context_.db)
    throw zdl::CZDLException(zdl::kZDLDatabaseUnavailable, "No configuration database is open.");
  return *context_.db;
}

}  // namespace zeb
