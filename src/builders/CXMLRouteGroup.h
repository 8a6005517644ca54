// The "routeGroup" element: a route group with its gateway devices, each with a port.
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLRouteGroup : public CXMLElement {
 public:
  // Mode kNames: "routeGroupName"; other modes: "routeGroup" with uuid, name, dialPlanWizardGenId
  // and members. Builds nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

// "members": one "member" per device map row of the group, by device selection order (ties by
// device name).
class CXMLRouteGroupMemberList : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& group);
};

// One "member" with its uuid and port, the selection order and the device by uuid.
class CXMLRouteGroupMember : public CXMLElement {
 public:
  // REQUIRES: row is positioned on a RouteGroupDeviceMap row.
  void BuildFromRow(const zdl::CFastAccess& row);
};

}  // namespace zeb
