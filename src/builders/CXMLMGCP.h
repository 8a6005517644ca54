// The MGCP gateway element ("mgcp", xsi:type zeb:XMGCP) with its units, their subunits and the
// endpoint device behind each port.
#pragma once

#include <string>

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLMGCP : public CXMLElement {
 public:
  // Builds the gateway with that identifier; nothing when there is none. Mode kNamespaces adds the
  // namespace attributes; the endpoint devices are rendered in mode (phones in mode kTftp).
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode,
                         const std::string& versionStamp);
};

// "units": one "unit" per slot of the gateway with its "subunits", each holding its
// "endpoints". Reads the slot rows, the endpoint devices and what their elements need with a
// fixed number of statements, whatever the number of endpoints.
class CXMLMGCPUnits : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& gateway, RenderMode mode,
                         const std::string& versionStamp);
};

}  // namespace zeb
