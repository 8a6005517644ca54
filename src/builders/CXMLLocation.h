// The "location" element of one location record.
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLLocation : public CXMLElement {
 public:
  // Mode kNames: "locationName"; other modes: "location" with uuid, name, id and kbits. Builds
  // nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

}  // namespace zeb
