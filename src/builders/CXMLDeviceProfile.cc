#include "builders/CXMLDeviceProfile.h"

#include <optional>

#include "builders/CXMLIPPhone.h"
#include "zdl/CTypeList.h"
#include "zdl/TypeEnums.h"

namespace zeb {

namespace {

// product, model, class, protocol and protocolSide of the phone model profiles stand for.
void AddProfileProductTexts(CXMLElement& element, zdl::CZDLSession& session) {
  zdl::CTypeList products(session, "TypeProduct");
  const bool known = products.Find(zdl::kProductDeskPhone60);
  const long model = known ? static_cast<long>(products.GetColumn("tkModel").AsInt()) : 0;
  const long protocol = known ? static_cast<long>(products.GetColumn("tkDeviceProtocol").AsInt()) : 0;
  element.AddNewChild<CXMLProductInfo>()->BuildFromDatabase(session, zdl::kProductDeskPhone60);
  element.AddNewChild<CXMLModelInfo>()->BuildFromDatabase(session, model);
  element.AddNewChild<CXMLClassInfo>()->BuildFromDatabase(session, zdl::kClassDeviceProfile);
  element.AddNewChild<CXMLProtocolInfo>()->BuildFromDatabase(session, protocol);
  element.AddNewChild<CXMLProtocolSideInfo>()->BuildFromDatabase(session, zdl::kProtocolSideUser);
}

}  // namespace

void CXMLDeviceProfile::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  zdl::CFastAccess device(session, "Device");
  if (ReadRecord(device, id)) BuildFromRow(session, device);
}

void CXMLDeviceProfile::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& device) {
  const zdl::CZDLID id = device.getID("pkid");
  SetTag("profile");
  AddAttribute("uuid", id.str());
  AddAttribute("ctiid", std::to_string(device.getInt("CtiId")));
  AddChild("name", device.getString("Name"));
  AddChild("description", device.getString("Description"));
  AddProfileProductTexts(*this, session);
  std::optional<zdl::CZDLReadAhead> ahead;
  if (session.pipelinesReads()) {
    ReadChildRowsAhead(ahead.emplace(session), id,
                       {"DeviceNumPlanMap", "SpeedDial", "DeviceAddOnModuleMap", "VoxbeamSubscribedService"});
    ahead->Run();
  }
  AddNewChild<CXMLPhoneLines>()->BuildFromDatabase(session, id);
  AddChild("numberOfButtons", std::to_string(ModelButtonCount(session, device.getInt("tkModel"))));
  AddChild("phoneTemplateId", device.getGuid("fkPhoneTemplate"));
  AddNewChild<CXMLSpeeddialList>()->BuildFromDatabase(session, id);
  AddNewChild<CXMLAddOnModuleList>()->BuildFromDatabase(session, id);
  AddNewChild<CXMLSubscribedServices>()->BuildFromDatabase(session, id);
  AddChild("deviceProfile", TypeText(session, "TypeDeviceProfile", device.getInt("tkDeviceProfile")));
}

}  // namespace zeb
