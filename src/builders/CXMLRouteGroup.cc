#include "builders/CXMLRouteGroup.h"

namespace zeb {

void CXMLRouteGroup::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  BuildReference(*this, session, "RouteGroup", "routeGroup", id, mode,
                 [&](CXMLElement& element, const zdl::CFastAccess& row) {
                   element.AddChild("dialPlanWizardGenId", std::to_string(row.getInt("DialPlanWizardGenID")));
                   element.AddNewChild<CXMLRouteGroupMemberList>()->BuildFromDatabase(session, id);
                 });
}

void CXMLRouteGroupMemberList::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& group) {
  SetTag("members");
  zdl::CFastAccess rows(session, "RouteGroupDeviceMap");
  rows.SelectCustom(
      "SELECT RouteGroupDeviceMap.* FROM RouteGroupDeviceMap "
      "LEFT JOIN Device ON Device.pkid = RouteGroupDeviceMap.fkDevice WHERE RouteGroupDeviceMap.fkRouteGroup = ? "
      "ORDER BY RouteGroupDeviceMap.DeviceSelectionOrder, Device.Name",
      {group});
  for (; !rows.IsEOF(); rows.MoveNext()) AddNewChild<CXMLRouteGroupMember>()->BuildFromRow(rows);
}

void CXMLRouteGroupMember::BuildFromRow(const zdl::CFastAccess& row) {
  SetTag("member");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddAttribute("port", std::to_string(row.getInt("Port")));
  AddChild("deviceSelectionOrder", std::to_string(row.getInt("DeviceSelectionOrder")));
  AddChild("dialPlanWizardGenId", std::to_string(row.getInt("DialPlanWizardGenID")));
  AddUuidChild(*this, "device", row.getID("fkDevice"));
}

}  // namespace zeb
