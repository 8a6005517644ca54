// The "callPickup" element of one call pickup group.
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLCallPickup : public CXMLElement {
 public:
  // uuid, pattern, usage and the full "routePartition" element of the group's partition (none
  // when it has no partition). Builds nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id);
};

}  // namespace zeb
