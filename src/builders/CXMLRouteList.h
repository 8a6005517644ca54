// The "routeList" element: a route list device with its members, the route groups it hunts
// through in order, each with its own digit manipulation.
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLRouteList : public CXMLElement {
 public:
  // Mode kNames: "routeListName"; other modes: "routeList" with uuid, name, description and members.
  // Builds nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

// "members": one "member" per member row of the route list, by selection order (ties by route
// group name).
class CXMLRouteListMembers : public CXMLElement {
 public:
  // Queues the member rows in ahead, as BuildFromDatabase reads them.
  static void ReadAhead(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& routeList);
  // Whether the route list has a member row.
  static bool Exist(zdl::CZDLSession& session, const zdl::CZDLID& routeList);
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& routeList);
};

// One "member": its uuid, the route group by name, the selection order and the member's digit
// manipulation; the calling search space and digit discard instruction only when set.
class CXMLRouteListMember : public CXMLElement {
 public:
  // REQUIRES: row is positioned on a RouteList row that also carries "RouteGroupName".
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row);
};

}  // namespace zeb
