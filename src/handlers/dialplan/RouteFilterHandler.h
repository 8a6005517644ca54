// addRouteFilter, updateRouteFilter, removeRouteFilter and getRouteFilter: one family class, an
// operation per method.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CRouteFilterHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;

 private:
  // The filter's dial plan as "dialPlanName" or "dialPlan" (add).
  zdl::CZDLID ReadAddDialPlan(const ElementCursor& cursor);
  // Replaces the members of filter (whose dial plan is plan) by the children of "members".
  void ReadMembers(const zdl::CZDLID& filter, const zdl::CZDLID& plan, zdl::CRouteFilterMemberList& members,
                   XmlNode element);
  void ReadMember(const zdl::CZDLID& filter, const zdl::CZDLID& plan, zdl::CRouteFilterMemberList& members,
                  const ElementCursor& member);
};

}  // namespace zeb
