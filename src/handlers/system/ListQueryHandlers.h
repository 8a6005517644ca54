// The read-only list and count methods: listPhoneByName, listPhoneByDescription,
// listUserByName, listRoutePlanByType, listRoutePartitionByName, listCSSByName and
// getNumDevices. An empty result is an empty return.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CListQueryHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation ListPhoneByName, ListPhoneByDescription, ListUserByName, ListRoutePlanByType,
      ListRoutePartitionByName, ListCSSByName, GetNumDevices;
};

}  // namespace zeb
