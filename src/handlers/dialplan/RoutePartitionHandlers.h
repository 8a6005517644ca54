// addRoutePartition, updateRoutePartition, removeRoutePartition, getRoutePartition.
#pragma once

#include "dispatch/CRequestHandler.h"

namespace zeb {

class CAddRoutePartitionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CUpdateRoutePartitionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CRemoveRoutePartitionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CGetRoutePartitionHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

}  // namespace zeb
