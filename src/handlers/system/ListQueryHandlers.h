// The read-only list and count methods: listPhoneByName, listPhoneByDescription,
// listUserByName, listRoutePlanByType, listRoutePartitionByName, listCSSByName and
// getNumDevices. An empty result is an empty return.
#pragma once

#include "dispatch/CRequestHandler.h"

namespace zeb {

#define ZEB_LIST_HANDLER(Class)                                                  \
  class Class : public CRequestHandler {                                         \
   public:                                                                       \
    using CRequestHandler::CRequestHandler;                                      \
    void Execute(XmlNode request, CXMLElement& result) override; \
  };
ZEB_LIST_HANDLER(CListPhoneByNameHandler)
ZEB_LIST_HANDLER(CListPhoneByDescriptionHandler)
ZEB_LIST_HANDLER(CListUserByNameHandler)
ZEB_LIST_HANDLER(CListRoutePlanByTypeHandler)
ZEB_LIST_HANDLER(CListRoutePartitionByNameHandler)
ZEB_LIST_HANDLER(CListCSSByNameHandler)
ZEB_LIST_HANDLER(CGetNumDevicesHandler)
#undef ZEB_LIST_HANDLER

}  // namespace zeb
