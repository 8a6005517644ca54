// addDialcore, updateDialcore, removeDialcore and getDialcore (call-processing nodes): one family
// class, an operation per method.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CDialcoreHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;

 private:
  // The children of "autoregistration", each optional. Adding, the partition is given as
  // routePartition (uuid) or routePartitionName; updating, as routePartitionId (identifier as
  // value) or routePartitionName, and an empty one clears it.
  void ReadAutoregistration(XmlNode element, zdl::CDialcore& node, bool adding);
  void ReadPartition(ElementCursor& cursor, zdl::CDialcore& node, bool adding);
  // The children of "ports", each required, with "mgcpPorts" last.
  void ReadPorts(XmlNode element, zdl::CDialcore& node);
};

}  // namespace zeb
