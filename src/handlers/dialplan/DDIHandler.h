// addDDI, updateDDI, removeDDI and getDDI: digit discard instructions, one family class, an
// operation per method.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CDDIHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;
};

}  // namespace zeb
