// addRouteGroup, updateRouteGroup, removeRouteGroup and getRouteGroup: route groups and their
// gateway devices with ports.
#pragma once

#include "dispatch/CRequestHandler.h"

namespace zeb {

class CAddRouteGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement* body, Sequence sequence) override;
};

class CUpdateRouteGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement* body, Sequence sequence) override;
};

class CRemoveRouteGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement* body, Sequence sequence) override;
};

class CGetRouteGroupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement* body, Sequence sequence) override;
};

}  // namespace zeb
