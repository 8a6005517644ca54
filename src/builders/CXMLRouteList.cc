#include "builders/CXMLRouteList.h"

namespace zeb {

void CXMLRouteList::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  BuildReference(*this, session, "Device", "routeList", id, mode,
                 [&](CXMLElement& element, const zdl::CFastAccess& row) {
                   element.AddChild("description", row.getString("Description"));
                   element.AddNewChild<CXMLRouteListMembers>()->BuildFromDatabase(session, id);
                 });
}

namespace {
const char kMembers[] =
    "SELECT RouteList.*, RouteGroup.Name AS RouteGroupName FROM RouteList "
    "LEFT JOIN RouteGroup ON RouteGroup.pkid = RouteList.fkRouteGroup WHERE RouteList.fkDevice = ? "
    "ORDER BY RouteList.RouteGroupSelectionOrder, RouteGroup.Name";
}  // namespace

void CXMLRouteListMembers::ReadAhead(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& routeList) {
  ahead.Add(kMembers, {routeList});
}

bool CXMLRouteListMembers::Exist(zdl::CZDLSession& session, const zdl::CZDLID& routeList) {
  return !session.Query(kMembers, {routeList}).rows.empty();
}

void CXMLRouteListMembers::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& routeList) {
  SetTag("members");
  zdl::CFastAccess rows(session, "RouteList");
  rows.SelectCustom(kMembers, {routeList});
  for (; !rows.IsEOF(); rows.MoveNext()) AddNewChild<CXMLRouteListMember>()->BuildFromRow(session, rows);
}

void CXMLRouteListMember::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row) {
  SetTag("member");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("routeGroupName", row.getString("RouteGroupName"));
  AddChild("routeGroupSelectionOrder", std::to_string(row.getInt("RouteGroupSelectionOrder")));
  AddChild("calledPartyTransformationMask", row.getString("CalledPartyTransformationMask"));
  AddChild("callingPartyTransformationMask", row.getString("CallingPartyTransformationMask"));
  const zdl::CZDLID css = row.getID("fkCallingSearchSpace");
  if (!css.isNull()) AddUuidChild(*this, "callingSearchSpace", css);
  AddChild("dialPlanWizardGenId", std::to_string(row.getInt("DialPlanWizardGenID")));
  const zdl::CZDLID ddi = row.getID("fkDigitDiscardInstruction");
  if (!ddi.isNull()) AddUuidChild(*this, "digitDiscardInstruction", ddi);
  AddChild("prefixDigitsOut", row.getString("PrefixDigitsOut"));
  AddChild("callingPartyPrefixDigits", row.getString("CallingPartyPrefixDigits"));
  AddChild("useFullyQualifiedCallingPartyNumber",
           TypeText(session, "TypeStatus", row.getInt("tkStatus_UseFullyQualCallingPartyNum")));
}

}  // namespace zeb
