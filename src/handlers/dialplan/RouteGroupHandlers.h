// addRouteGroup, updateRouteGroup, removeRouteGroup and getRouteGroup: route groups and their
// gateway devices with ports.
#pragma once

#include "handlers/CRequestHandler.h"

namespace zeb {

class CRouteGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Add(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);
};

}  // namespace zeb
