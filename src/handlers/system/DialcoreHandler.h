// addDialcore, updateDialcore, removeDialcore and getDialcore (call-processing nodes): one
// handler that picks the operation by the request element's name.
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CDialcoreHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  void Add(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);
  // The children of "autoregistration", each optional. Adding, the partition is given as
  // routePartition (uuid) or routePartitionName; updating, as routePartitionId (identifier as
  // value) or routePartitionName, and an empty one clears it.
  void ReadAutoregistration(XmlNode element, zdl::CDialcore& node, bool adding);
  void ReadPartition(ElementCursor& cursor, zdl::CDialcore& node, bool adding);
  // The children of "ports", each required, with "mgcpPorts" last.
  void ReadPorts(XmlNode element, zdl::CDialcore& node);
};

}  // namespace zeb
