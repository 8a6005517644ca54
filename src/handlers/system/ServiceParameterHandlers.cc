#include "handlers/system/ServiceParameterHandlers.h"

#include "builders/CXMLServiceParameter.h"
#include "dispatch/RequestReader.h"
#include "zdl/CProcessConfigList.h"
#include "zdl/CXMLParse.h"

namespace zeb {

namespace {

constexpr char kNotFound[] = "Service Parameter not found.";

const Identification kByNameOrUuid{"Found NULL, expecting <name> or <uuid>",
                                   "<uuid> or <name>",
                                   "name",
                                   ValueWording::kMustHave,
                                   "uuid",
                                   ValueWording::kMustHave,
                                   kNotFound};

long ServiceOf(zdl::CZDLSession& session, const ElementCursor& cursor, ValueWording wording) {
  return TypeEnum(session, "TypeService", RequireValue(cursor.node(), wording));
}

// The name of the node an identifier names; "Process Node not found." when none.
std::string NodeNameOf(zdl::CZDLSession& session, const std::string& idText) {
  zdl::CProcessNodeList nodes(session);
  nodes.SelectByID(ParseID(idText));
  if (nodes.Count() == 0) ThrowNotFound("Process Node not found.");
  return nodes.GetCurrentItem()->GetName();
}

// The element's content as XML text: each child node written back in order.
std::string ContentOf(XmlNode element) {
  std::string content;
  for (XmlNode child = element.FirstChild(); child; child = child.NextSibling()) content += child.Xml();
  return content;
}

}  // namespace

void CListServiceParametersHandler::Execute(XmlNode request, CXMLElement* body, Sequence sequence) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.Expect("nodeName", "<nodeName>", "Found NULL, expecting <nodeName>");
  const std::string nodeName = RequireValue(cursor.node(), ValueWording::kMustContain);
  cursor.Advance();
  cursor.Expect("serviceType", "<serviceType>", "Found NULL, expecting <serviceType>");
  const long service = ServiceOf(db(), cursor, ValueWording::kMustContain);

  zdl::CProcessConfigList parameters(db());
  zdl::SelectByNodeNameAndService(parameters, nodeName, service, true);
  CXMLElement holder;
  for (parameters.MoveFirst(); !parameters.IsEOF(); parameters.MoveNext()) {
    auto parameter = parameters.GetCurrentItem();
    CXMLElement* param = holder.AddNewChild("param");
    param->AddChild("name", parameter->GetParamName());
    param->AddChild("value", parameter->GetParamValue());
  }
  AddElementResponse(body, "listServiceParametersResponse", sequence, holder);
}

void CServiceParameterHandler::Execute(XmlNode request, CXMLElement* body, Sequence sequence) {
  if (method_ != "getServiceParameter" && method_ != "updateServiceParameter") {
    throw CUnknownMethodException(request.Name());
  }
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CProcessConfigList parameters(db());
  SelectParameter(cursor, parameters);
  if (method_ == "getServiceParameter") {
    Get(parameters, body, sequence);
  } else {
    Update(cursor, parameters, body, sequence);
  }
}

void CServiceParameterHandler::SelectParameter(ElementCursor& cursor, zdl::CProcessConfigList& list) {
  const Identified which = ReadIdentifier(cursor, kByNameOrUuid);
  if (which.byId) {
    list.SelectByID(ParseID(which.value));
    if (list.Count() == 0) ThrowNotFound(kByNameOrUuid.notFound);
    return;
  }
  cursor.RequireNotNull("Found NULL, expecting <processNodeId>");
  std::string nodeName;
  if (cursor.Is("processNodeId")) {
    nodeName = NodeNameOf(db(), RequireValue(cursor.node(), ValueWording::kMustHave));
  } else if (cursor.Is("processNodeName")) {
    nodeName = RequireValue(cursor.node(), ValueWording::kMustHave);
  } else {
    cursor.ThrowFound("<processNodeId> or <processNodeName>");
  }
  cursor.Advance();
  cursor.Expect("service", "<service>", "Found NULL, expecting <service>");
  const long service = ServiceOf(db(), cursor, ValueWording::kMustHave);
  cursor.Advance();
  zdl::SelectByNodeNameAndService(list, nodeName, service, false);
  if (!zdl::FindByParamName(list, which.value)) ThrowNotFound(kNotFound);
}

void CServiceParameterHandler::Get(zdl::CProcessConfigList& list, CXMLElement* body, Sequence sequence) {
  CXMLElement holder;
  holder.AddNewChild<CXMLServiceParameter>()->BuildFromDatabase(db(), *list.GetCurrentItem());
  AddElementResponse(body, "getServiceParameterResponse", sequence, holder);
}

void CServiceParameterHandler::Update(ElementCursor& cursor, zdl::CProcessConfigList& list, CXMLElement* body,
                                      Sequence sequence) {
  cursor.Expect("newValue", "<newValue>", "Found NULL, expecting <newValue>");
  auto parameter = list.GetCurrentItem();
  if (!cursor.node().FirstChild()) {
    parameter->PutParamValue("");
  } else {
    parameter->PutParamValue(zdl::CXMLParse::XMLChange(parameter->GetParamValue(), ContentOf(cursor.node())));
  }
  list.Update();
  AddStandardResponse(body, "updateServiceParameterResponse", parameter->GetID(), sequence);
}

}  // namespace zeb
