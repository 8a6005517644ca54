// The "profile" element of a device profile: its identity, the fixed product texts of the phone
// model profiles stand for, its lines, speed dials, add-on modules and services, and its type.
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLDeviceProfile : public CXMLElement {
 public:
  // Builds nothing when there is no device with that identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id);
  // REQUIRES: device is on a row of table Device.
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& device);
};

}  // namespace zeb
