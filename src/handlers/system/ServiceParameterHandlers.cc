#include "handlers/system/ServiceParameterHandlers.h"

#include "builders/CXMLServiceParameter.h"
#include "handlers/RequestReader.h"
#include "zdl/CProcessConfigList.h"
#include "zdl/CXMLParse.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/base/CZDLException.h"
#include "zdl/directory/DirectorySetup.h"

namespace zeb {

namespace {

constexpr char kNotFound[] = "Service Parameter not found.";

const Identification kByNameOrUuid =
    ByNameOrUuid("Found NULL, expecting <name> or <uuid>", ValueWording::kMustHave, kNotFound);

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

// Refuses a change of one of the directory's connection parameters that the directory the
// resulting settings name does not accept: a mistake must not lock every client out.
void CheckDirectoryChange(zdl::CZDLSession& session, const std::string& name, const std::string& value) {
  zdl::DirectorySettings settings = zdl::CLdapConfig(session).settings();
  if (name == zdl::kUrlParameter) settings.url = value;
  if (name == zdl::kUserBaseParameter) settings.userBase = value;
  if (name == zdl::kManagerDnParameter) settings.managerDn = value;
  if (name == zdl::kManagerPasswordParameter) settings.managerPassword = value;
  if (name == zdl::kStartTlsParameter) {
    if (value != "true" && value != "false") throw CInvalidValueException("DirectoryStartTLS is true or false.");
    settings.startTls = value == "true";
  }
  try {
    zdl::CheckDirectorySettings(session, settings);
  } catch (const zdl::CZDLException& refusal) {
    throw CInvalidValueException("The directory settings were not changed: " + refusal.GetExceptionStr());
  }
}

}  // namespace

void CServiceParameterHandler::List(XmlNode request, CXMLElement& result) {
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
    param->AddChild("value", zdl::IsSecretParameter(parameter->GetParamName()) ? "" : parameter->GetParamValue());
  }
  ReturnChildren(result, holder);
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

void CServiceParameterHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CProcessConfigList list(db());
  SelectParameter(cursor, list);
  CXMLElement holder;
  holder.AddNewChild<CXMLServiceParameter>()->BuildFromDatabase(db(), *list.GetCurrentItem());
  ReturnChildren(result, holder);
}

void CServiceParameterHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CProcessConfigList list(db());
  SelectParameter(cursor, list);
  cursor.Expect("newValue", "<newValue>", "Found NULL, expecting <newValue>");
  auto parameter = list.GetCurrentItem();
  const std::string name = parameter->GetParamName();
  const bool secret = zdl::IsSecretParameter(name);
  context().newValueHarmless = !secret;
  const zdl::SecretKey& key = db().database().secretKey();
  const std::string current = secret ? key.Open(name, parameter->GetParamValue()) : parameter->GetParamValue();
  const std::string value =
      cursor.node().FirstChild() ? zdl::CXMLParse::XMLChange(current, ContentOf(cursor.node())) : "";
  if (parameter->GetProcessNodeID() == zdl::EnterpriseWideNode() && zdl::IsDirectoryConnectionParameter(name)) {
    CheckDirectoryChange(db(), name, value);
  }
  parameter->PutParamValue(secret ? key.Seal(name, value) : value);
  list.Update();
  Return(result, parameter->GetID());
}

}  // namespace zeb
