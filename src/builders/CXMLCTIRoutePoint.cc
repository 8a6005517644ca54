#include "builders/CXMLCTIRoutePoint.h"

#include "builders/CXMLIPPhone.h"

namespace zeb {

void CXMLCTIRoutePoint::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  zdl::CFastAccess device(session, "Device");
  if (!ReadRecord(device, id)) return;
  SetTag("routePoint");
  AddAttribute("uuid", device.getGuid("pkid"));
  AddAttribute("ctiid", std::to_string(device.getInt("CtiId")));
  AddDeviceIdentity(*this, session, device);
  AddDeviceReferences(*this, session, device, mode);
  AddNewChild<CXMLPhoneLines>()->BuildFromDatabase(session, id);
  RemoveEmptyChildren();
}

}  // namespace zeb
