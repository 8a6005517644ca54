#include "builders/CXMLRouteFilter.h"

namespace zeb {

namespace {

constexpr long kOperatorNotSelected = 0;

// The members of a filter with their tag's name as "TagName", in clause order.
void SelectMembers(zdl::CFastAccess& rows, const zdl::CZDLID& filter) {
  rows.SelectCustom(
      "SELECT RouteFilterMember.*, DialPlanTag.Tag AS TagName FROM RouteFilterMember "
      "LEFT JOIN DialPlanTag ON DialPlanTag.pkid = RouteFilterMember.fkDialPlanTag "
      "WHERE RouteFilterMember.fkRouteFilter = ? ORDER BY RouteFilterMember.Precedence, DialPlanTag.Tag",
      {filter});
}

}  // namespace

std::string RouteFilterClause(zdl::CZDLSession& session, const zdl::CZDLID& filter) {
  zdl::CFastAccess rows(session, "RouteFilterMember");
  SelectMembers(rows, filter);
  std::string clause, group;
  long groupPriority = 0;
  auto closeGroup = [&] {
    if (group.empty()) return;
    clause += (clause.empty() ? "(" : " OR (") + group + ")";
    group.clear();
  };
  for (; !rows.IsEOF(); rows.MoveNext()) {
    const long op = rows.getInt("tkOperator");
    if (op == kOperatorNotSelected) continue;
    const long priority = rows.getInt("Precedence");
    if (!group.empty() && priority != groupPriority) closeGroup();
    groupPriority = priority;
    std::string term = rows.getString("TagName") + " " + TypeText(session, "TypeOperator", op);
    const std::string digits = rows.getString("Digits");
    if (!digits.empty()) term += " " + digits;
    group += (group.empty() ? "" : " AND ") + term;
  }
  closeGroup();
  return clause;
}

void CXMLRouteFilter::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  BuildReference(*this, session, "RouteFilter", "routeFilter", id, mode,
                 [&](CXMLElement& element, const zdl::CFastAccess& row) {
                   element.AddChild("clause", RouteFilterClause(session, id));
                   AddUuidChild(element, "dialPlan", row.getID("fkDialPlan"));
                   element.AddChild("dialPlanWizardGenId", std::to_string(row.getInt("DialPlanWizardGenID")));
                   element.AddNewChild<CXMLRouteFilterMemberList>()->BuildFromDatabase(session, id);
                 });
}

void CXMLRouteFilterMemberList::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& filter) {
  SetTag("members");
  zdl::CFastAccess rows(session, "RouteFilterMember");
  SelectMembers(rows, filter);
  for (; !rows.IsEOF(); rows.MoveNext()) AddNewChild<CXMLRouteFilterMember>()->BuildFromRow(session, rows);
}

void CXMLRouteFilterMember::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row) {
  SetTag("member");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("priority", std::to_string(row.getInt("Precedence")));
  AddUuidChild(*this, "dialPlanTag", row.getID("fkDialPlanTag"));
  AddChild("digits", row.getString("Digits"));
  AddChild("operator", TypeText(session, "TypeOperator", row.getInt("tkOperator")));
}

}  // namespace zeb
