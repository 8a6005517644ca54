// addRouteGroup, updateRouteGroup, removeRouteGroup and getRouteGroup: route groups and their
// gateway devices with ports.
#pragma once

#include "dispatch/CRequestHandler.h"

namespace zeb {

class CAddRouteGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CUpdateRouteGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CRemoveRouteGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CGetRouteGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

}  // namespace zeb
