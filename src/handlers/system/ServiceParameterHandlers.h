// listServiceParameters, getServiceParameter and updateServiceParameter.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"

namespace zeb {

namespace zdl {
class CProcessConfigList;
}

class CServiceParameterHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation List, Get, Update;

 private:
  // Reads the identifying elements and leaves list on the parameter they name, the cursor after
  // them. Throws the not-found messages.
  void SelectParameter(ElementCursor& cursor, zdl::CProcessConfigList& list);
};

}  // namespace zeb
