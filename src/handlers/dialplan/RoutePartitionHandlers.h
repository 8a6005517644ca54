// addRoutePartition, updateRoutePartition, removeRoutePartition, getRoutePartition.
#pragma once

#include "dispatch/CRequestHandler.h"

namespace zeb {

class CAddRoutePartitionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement* body, Sequence sequence) override;
};

class CUpdateRoutePartitionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement* body, Sequence sequence) override;
};

class CRemoveRoutePartitionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement* body, Sequence sequence) override;
};

class CGetRoutePartitionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement* body, Sequence sequence) override;
};

}  // namespace zeb
