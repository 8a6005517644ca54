// The "dialPlan" and "dialPlanTag" elements.
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLDialPlan : public CXMLElement {
 public:
  // Mode kNames: "dialPlanName"; other modes: "dialPlan" with uuid, name and description. Builds
  // nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

class CXMLDialPlanTag : public CXMLElement {
 public:
  // "dialPlanTag" with uuid, name (the tag), its dial plan by uuid, the operator's name and
  // suppressFromRouteFilter. Builds nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id);
};

}  // namespace zeb
