#include "handlers/system/DialcoreHandler.h"

#include "builders/CXMLDialcore.h"
#include "handlers/ElementTables.h"

namespace zeb {

namespace {

const char kMoreElements[] = "NULL element found. Expecting more elements.";
const char kNotFound[] = "The specified Dialcore was not found.";
const char kPartitionNotFound[] = "Route Partition not found.";

using Node = zdl::CDialcore;

// A required port number: the element must stand at the cursor and hold a value.
void ReadPort(ElementCursor& cursor, const std::string& element, Node& node, void (Node::*put)(long)) {
  cursor.Expect(element.c_str(), "<" + element + ">", "NULL element found. Expecting <" + element + ">.");
  (node.*put)(ParseLong(RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
}

// An optional number or text at the cursor; an empty one stores 0 or the empty text.
void ReadOptional(ElementCursor& cursor, const char* element, Node& node, void (Node::*put)(long)) {
  if (!cursor.Is(element)) return;
  (node.*put)(ParseLong(ValueOrEmpty(cursor.node())));
  cursor.Advance();
}
void ReadOptional(ElementCursor& cursor, const char* element, Node& node,
                  void (Node::*put)(const std::string&)) {
  if (!cursor.Is(element)) return;
  (node.*put)(ValueOrEmpty(cursor.node()));
  cursor.Advance();
}

}  // namespace

const ElementTable kDialcoreElements = {
    "addDialcore", "updateDialcore", "getDialcore",
    Join({NamedRecordRows(zdl::DialcoreCols::kName),
          {
              Optional("description", Kind::kText, zdl::DialcoreCols::kDescription, kOpt, kOpt),
              Custom("autoregistration", Form::kChildren, kOpt, kOpt),
              Custom("ports", Form::kChildren, kReq, kOpt),
              Choice({{"processNode", Form::kUuid}, {"processNodeName", Form::kName}}, kReq, kNo),
          }})};

void CDialcoreHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <dialcore>");
  zdl::CDialcoreList list(db());
  auto node = list.Insert();

  ElementCursor cursor = wrapper.EnterCurrent();
  node->PutName(ReadAddName(cursor));
  cursor.RequireNotNull(kMoreElements);
  if (cursor.Is("description")) {
    node->PutDescription(ValueOrEmpty(cursor.node()));
    cursor.Advance();
    cursor.RequireNotNull(kMoreElements);
  }
  if (cursor.Is("autoregistration")) {
    ReadAutoregistration(cursor.node(), *node, true);
    cursor.Advance();
  }
  cursor.Expect("ports", "<ports>", "NULL element found. Expecting <ports>.");
  ReadPorts(cursor.node(), *node);
  cursor.Advance();
  cursor.RequireNotNull("NULL element found. Expecting <processNode> or <processNodeName>.");
  if (!cursor.Is("processNode") && !cursor.Is("processNodeName")) {
    cursor.ThrowFound("<processNode> or <processNodeName>");
  }
  node->PutProcessNodeID(ReadReference(db(), cursor.node(), "processNodeName",
                                       &FindIdByName<zdl::CProcessNodeList>, "Process Node not found."));
  list.Update();
  Return(result, node->GetID());
}

void CDialcoreHandler::ReadAutoregistration(XmlNode element, Node& node, bool adding) {
  ElementCursor cursor = ElementCursor::Enter(element);
  ReadOptional(cursor, "startDN", node, &Node::PutAutoregistrationStartDN);
  ReadOptional(cursor, "endDN", node, &Node::PutAutoregistrationEndDN);
  ReadOptional(cursor, "nextDN", node, &Node::PutAutoregistrationNextDN);
  ReadPartition(cursor, node, adding);
  ReadOptional(cursor, "e164Mask", node, &Node::PutAutoregistrationE164Mask);
}

void CDialcoreHandler::ReadPartition(ElementCursor& cursor, Node& node, bool adding) {
  const bool byName = cursor.Is("routePartitionName");
  if (!byName && !cursor.Is(adding ? "routePartition" : "routePartitionId")) return;
  const auto value = ValueOf(cursor.node());
  if (adding) {
    // An empty name stores nothing.
    if (!byName || value) {
      node.PutRoutePartitionIDForAutoregistration(ReadReference(db(), cursor.node(), "routePartitionName",
                                                                &FindIdByName<zdl::CRoutePartitionList>,
                                                                kPartitionNotFound));
    }
  } else if (!value) {
    node.PutRoutePartitionIDForAutoregistration(zdl::CZDLID::NULLID());
  } else {
    node.PutRoutePartitionIDForAutoregistration(
        byName ? FindIdByName<zdl::CRoutePartitionList>(db(), *value, kPartitionNotFound) : ParseID(*value));
  }
  cursor.Advance();
}

void CDialcoreHandler::ReadPorts(XmlNode element, Node& node) {
  ElementCursor cursor = ElementCursor::Enter(element);
  ReadPort(cursor, "analogAccessPort", node, &Node::PutAnalogAccessPort);
  ReadPort(cursor, "digitalAccessPort", node, &Node::PutDigitalAccessPort);
  ReadPort(cursor, "ethernetPhonePort", node, &Node::PutEthernetPhonePort);
  cursor.Expect("mgcpPorts", "<mgcpPorts>", "NULL element found. Expecting <mgcpPorts>.");
  ElementCursor mgcp = cursor.EnterCurrent();
  ReadPort(mgcp, "listen", node, &Node::PutMGCPListenPort);
  ReadPort(mgcp, "keepAlive", node, &Node::PutMGCPKeepAlivePort);
}

void CDialcoreHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDialcoreList list(db());
  Identify(
      cursor, list,
      ByNameOrUuid("Found NULL, expecting <name> or <uuid>", ValueWording::kMustHave, "Dialcore not found."));
  auto node = list.GetCurrentItem();
  ReadValues(cursor, kDialcoreElements, Shape::kUpdate, "newName", *node);
  if (cursor.Is("autoregistration")) {
    ReadAutoregistration(cursor.node(), *node, false);
    cursor.Advance();
  }
  if (cursor.Is("ports")) ReadPorts(cursor.node(), *node);
  list.Update();
  Return(result, node->GetID());
}

void CDialcoreHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result, RemoveIdentified<zdl::CDialcoreList>(db(), cursor,
                                                      ByNameOrUuid("Found NULL, expecting <uuid> or <name>",
                                                                   ValueWording::kMustHave, kNotFound)));
}

void CDialcoreHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDialcoreList list(db());
  Identify(cursor, list,
           ByNameOrUuid("Found NULL, expecting <uuid> or <name>", ValueWording::kMustContain, kNotFound));
  CXMLElement holder;
  holder.AddNewChild<CXMLDialcore>()->BuildFromDatabase(db(), list.GetCurrentItem()->GetID(),
                                                        RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
