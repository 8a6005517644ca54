// listServiceParameters; getServiceParameter and updateServiceParameter (one handler object
// that chooses by the request element's name).
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"

namespace zeb {

namespace zdl {
class CProcessConfigList;
}

class CListServiceParametersHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CServiceParameterHandler : public CRequestHandler {
 public:
  CServiceParameterHandler(RequestContext& context, const std::string& method)
      : CRequestHandler(context), method_(method) {}
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  // Reads the identifying elements and leaves list on the parameter they name, the cursor after
  // them. Throws the not-found messages.
  void SelectParameter(ElementCursor& cursor, zdl::CProcessConfigList& list);
  void Get(zdl::CProcessConfigList& list, CXMLElement& result);
  void Update(ElementCursor& cursor, zdl::CProcessConfigList& list, CXMLElement& result);

  std::string method_;
};

}  // namespace zeb
