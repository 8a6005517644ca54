// The "routeFilter" element: a route filter with its clause and its members, the conditions on
// dial plan tags that narrow which numbers a route pattern matches.
#pragma once

#include <string>

#include "builders/BuilderSupport.h"

namespace zeb {

// The clause of a route filter, made from its members when asked, so that it follows every
// change of the members and of the tags' names. Members are taken by priority; each gives
// "<tag> <operator>" followed by " <digits>" when it has digits, and members whose operator is
// "NOT-SELECTED" (0) give nothing. Members of one priority are joined by " AND " inside
// parentheses, and the priorities by " OR ": "(AREA-CODE == 214 AND LOCAL-OFFICE EXISTS) OR
// (AREA-CODE == 972)". A filter without members that give a term has the empty clause.
std::string RouteFilterClause(zdl::CZDLSession& session, const zdl::CZDLID& filter);

class CXMLRouteFilter : public CXMLElement {
 public:
  // Mode kNames: "routeFilterName"; other modes: "routeFilter" with uuid, name, clause, dialPlan (by
  // uuid), dialPlanWizardGenId and members. Builds nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

// "members": one "member" per member row, by priority (ties by tag name).
class CXMLRouteFilterMemberList : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& filter);
};

// One "member": uuid, priority, dialPlanTag (by uuid), digits and the operator's name.
class CXMLRouteFilterMember : public CXMLElement {
 public:
  // REQUIRES: row is positioned on a RouteFilterMember row.
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row);
};

}  // namespace zeb
