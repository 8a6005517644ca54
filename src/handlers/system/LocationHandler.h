// addLocation, updateLocation, removeLocation and getLocation: one family class, an operation per
// method.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CLocationHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;
};

}  // namespace zeb
