#include "builders/CXMLDialPlan.h"

namespace zeb {

void CXMLDialPlan::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  BuildReference(*this, session, "DialPlan", "dialPlan", id, mode,
                 [](CXMLElement& element, const zdl::CFastAccess& row) {
                   element.AddChild("description", row.getString("Description"));
                 });
}

void CXMLDialPlanTag::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  zdl::CFastAccess row(session, "DialPlanTag");
  if (!ReadRecord(row, id)) return;
  SetTag("dialPlanTag");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("name", row.getString("Tag"));
  AddUuidChild(*this, "dialPlan", row.getID("fkDialPlan"));
  AddChild("operator", TypeText(session, "TypeOperator", row.getInt("tkOperator")));
  AddChild("suppressFromRouteFilter", BoolText(row.getBool("SuppressFromRouteFilter")));
}

}  // namespace zeb
