// The "pattern" element of a translation pattern or a route pattern: the content both share
// (CXMLNPPattern), then what each kind adds.
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLNPPattern : public CXMLElement {
 public:
  // Builds "pattern" from a number already read (a row of table NumPlan): uuid, pattern,
  // description, usage, the partition, dial plan, digit discard instruction and route filter
  // by name, and the pattern's flags and masks. References that are not set are written empty.
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row);

 private:
  void AddDialPlan(zdl::CZDLSession& session, const zdl::CZDLID& id);
};

// The common content, then "callingSearchSpaceName".
class CXMLTranslationPattern : public CXMLNPPattern {
 public:
  // Builds nothing for a null or unknown identifier (as does CXMLRoutePattern).
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id);
};

// The common content, then "destination" (the gateway or route list by name) and "withTag".
class CXMLRoutePattern : public CXMLNPPattern {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id);

 private:
  void AddDestination(zdl::CZDLSession& session, const zdl::CZDLID& id);
};

}  // namespace zeb
