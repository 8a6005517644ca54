// addRoutePartition, updateRoutePartition, removeRoutePartition, getRoutePartition.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CRoutePartitionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;
};

}  // namespace zeb
