#include "builders/CXMLVoiceMailPort.h"

#include "builders/CXMLIPPhone.h"

namespace zeb {

void CXMLVoiceMailPort::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode,
                                          const std::string& versionStamp) {
  zdl::CFastAccess device(session, "Device");
  if (!ReadRecord(device, id)) return;
  SetTag("voiceMailPort");
  if (mode == RenderMode::kNamespaces) AddDeviceNamespaces(*this);
  AddAttribute("xsi:type", "zeb:XVoiceMailPort");
  AddAttribute("ctiid", std::to_string(device.getInt("CtiId")));
  AddAttribute("uuid", device.getGuid("pkid"));
  AddDeviceIdentity(*this, session, device);
  AddDeviceReferences(*this, session, device, mode);
  AddNamedReferences(session, device);
  AddNewChild<CXMLLoadInformation>()->BuildFromDatabase(session, device.getString("SpecialLoadInformation"),
                                                        device.getInt("tkModel"));
  AddChild("vendorConfig", device.getString("xml"));
  AddChild("versionStamp", versionStamp);
  AddChild("traceFlag", BoolText(device.getBool("DeviceLevelTraceFlag")));
  AddNewChild<CXMLPhoneLine>()->BuildFromDatabase(session, id);
  RemoveEmptyChildren();
}

void CXMLVoiceMailPort::AddNamedReferences(zdl::CZDLSession& session, const zdl::CFastAccess& device) {
  const zdl::ResultSet names = session.Query(
      "SELECT (SELECT Name FROM MediaResourceList WHERE pkid = ?), (SELECT Name FROM CallingSearchSpace WHERE pkid = ?), "
      "(SELECT Name FROM AARNeighborhood WHERE pkid = ?)",
      {device.Get("fkMediaResourceList"), device.Get("fkCallingSearchSpace_AAR"), device.Get("fkAARNeighborhood")});
  const std::vector<zdl::CZDLValue>& row = names.rows.at(0);
  if (!row[0].IsNull()) AddChild("mediaResourceListName", row[0].AsText());
  if (!row[1].IsNull()) AddChild("automatedAlternateRoutingCSSName", row[1].AsText());
  if (!row[2].IsNull()) {
    CXMLElement* neighborhood = AddNewChild("aarNeighborhood");
    neighborhood->AddAttribute("uuid", device.getGuid("fkAARNeighborhood"));
    neighborhood->AddChild("name", row[2].AsText());
  }
}

}  // namespace zeb
