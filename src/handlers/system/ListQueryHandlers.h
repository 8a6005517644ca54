// The read-only list and count methods: listPhoneByName, listPhoneByDescription,
// listUserByName, listRoutePlanByType, listRoutePartitionByName, listCSSByName and
// getNumDevices. An empty result is an empty return.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CListQueryHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void ListPhoneByName(XmlNode request, CXMLElement& result);
  void ListPhoneByDescription(XmlNode request, CXMLElement& result);
  void ListUserByName(XmlNode request, CXMLElement& result);
  void ListRoutePlanByType(XmlNode request, CXMLElement& result);
  void ListRoutePartitionByName(XmlNode request, CXMLElement& result);
  void ListCSSByName(XmlNode request, CXMLElement& result);
  void GetNumDevices(XmlNode request, CXMLElement& result);
};

}  // namespace zeb
