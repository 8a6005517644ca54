#include "builders/CXMLServiceParameter.h"

#include "zdl/CProcessConfigList.h"

namespace zeb {

void CXMLServiceParameter::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CProcessConfig& parameter) {
  SetTag("serviceParameter");
  AddAttribute("uuid", parameter.GetID().str());
  zdl::CFastAccess node(session, "ProcessNode");
  AddChild("processNodeName", ReadRecord(node, parameter.GetProcessNodeID()) ? node.getString("Name") : "");
  AddChild("name", parameter.GetParamName());
  AddChild("service", TypeText(session, "TypeService", parameter.GetServiceType()));
  AddChild("value", zdl::IsSecretParameter(parameter.GetParamName()) ? "" : parameter.GetParamValue());
  AddChild("valueType", TypeText(session, "TypeParam", parameter.GetParamType()));
  AddChild("primaryData", BoolText(parameter.GetPrimaryData()));
}

}  // namespace zeb
