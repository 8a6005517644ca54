// The CTI route point element ("routePoint"): the device's identity, its calling search space,
// device pool and location, and its line appearances.
#pragma once

#include <string>

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLCTIRoutePoint : public CXMLElement {
 public:
  // Builds the route point with that identifier; nothing when there is no such device.
  // References are rendered in mode (nested elements in mode kFull).
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

}  // namespace zeb
