// addRouteGroup, updateRouteGroup, removeRouteGroup and getRouteGroup: route groups and their
// gateway devices with ports.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CRouteGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;
};

}  // namespace zeb
