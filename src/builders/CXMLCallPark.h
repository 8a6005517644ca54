// The "callPark" element of one call park number.
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLCallPark : public CXMLElement {
 public:
  // uuid, pattern, usage, the partition's uuid (when it has one) and the identifier of the node
  // that owns the number (when it has one). Builds nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id);
};

}  // namespace zeb
