#include "builders/CXMLMGCP.h"

#include <vector>

#include "builders/CXMLDialcore.h"
#include "builders/CXMLGatewayEndpoint.h"
#include "builders/CXMLIPPhone.h"
#include "zdl/CTypeList.h"
#include "zdl/CZDLReadAhead.h"
#include "zdl/TypeEnums.h"

namespace zeb {

namespace {

struct SlotRow {
  long slot = 0;
  bool isUnit = false;  // the unit's own row (no subunit)
  long subunit = 0;
  long module = 0;
  long vic = 0;
};

std::vector<SlotRow> ReadSlotRows(zdl::CZDLSession& session, const zdl::CZDLID& gateway) {
  const zdl::ResultSet result = session.Query(
      "SELECT Slot, Subunit, tkMGCPSlotModule, tkMGCPVic FROM MGCPSlotConfig WHERE fkMGCP = ? ORDER BY Slot, Subunit",
      {gateway});
  std::vector<SlotRow> rows;
  for (const auto& row : result.rows) {
    rows.push_back(SlotRow{static_cast<long>(row[0].AsInt()), row[1].IsNull(), static_cast<long>(row[1].AsInt()),
                           static_cast<long>(row[2].AsInt()), static_cast<long>(row[3].AsInt())});
  }
  return rows;
}

// The endpoint devices of the gateway.
const char kMemberDevices[] = "SELECT fkDevice FROM MGCPDeviceMember WHERE fkMGCP = ?";

// Tables whose rows the analog and digital endpoint elements read per device (by the statement
// texts those builders run), and records the endpoints refer to. Endpoint phones, which only
// the database itself can put on a gateway, are read the usual way.
struct DeviceRows {
  const char* table;
  const char* order;  // the keyed statement's ORDER BY, or ""
};
const DeviceRows kDeviceRows[] = {
    {"AnalogAccess", ""},           {"DigitalAccessT1", ""},
    {"DigitalAccessPri", ""},       {"AnalogAccessPort", " ORDER BY PortNum"},
    {"DigitalAccessT1Port", " ORDER BY PortNum"},
};
struct Reference {
  const char* table;
  const char* column;  // of Device
};
const Reference kReferences[] = {
    {"DevicePool", "fkDevicePool"}, {"CallingSearchSpace", "fkCallingSearchSpace"}, {"Location", "fkLocation"}};

// Reads, with one statement each, what the endpoint elements of the gateway would read per
// device. REQUIRES: devices holds the gateway's endpoint device rows.
void ReadEndpointsAhead(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& gateway, zdl::CFastAccess& devices) {
  std::vector<zdl::CZDLValue> ids;
  std::vector<std::vector<zdl::CZDLValue>> referenced(std::size(kReferences));
  for (; !devices.IsEOF(); devices.MoveNext()) {
    ids.push_back(devices.Get("pkid"));
    for (std::size_t i = 0; i < std::size(kReferences); ++i) {
      if (!devices.isNull(kReferences[i].column)) referenced[i].push_back(devices.Get(kReferences[i].column));
    }
  }
  if (ids.empty()) return;
  const std::string inMembers = std::string(" IN (") + kMemberDevices + ")";
  for (const DeviceRows& rows : kDeviceRows) {
    const std::string table = rows.table;
    ahead.Add("SELECT * FROM " + table + " WHERE fkDevice = ?" + rows.order, ids,
              "SELECT " + table + ".*, fkDevice FROM " + table + " WHERE fkDevice" + inMembers + rows.order, {gateway});
  }
  ahead.Add(std::string(kGatewayLineColumns) + kGatewayLinesFrom + " = ? ORDER BY NumPlanIndex", ids,
            std::string(kGatewayLineColumns) + ", DeviceNumPlanMap.fkDevice" + kGatewayLinesFrom + inMembers +
                " ORDER BY NumPlanIndex",
            {gateway});
  for (std::size_t i = 0; i < std::size(kReferences); ++i) {
    if (referenced[i].empty()) continue;
    const std::string table = kReferences[i].table;
    ahead.Add("SELECT * FROM " + table + " WHERE pkid = ?", referenced[i],
              "SELECT " + table + ".*, pkid FROM " + table + " WHERE pkid IN (SELECT Device." + kReferences[i].column +
                  " FROM MGCPDeviceMember JOIN Device ON Device.pkid = MGCPDeviceMember.fkDevice WHERE "
                  "MGCPDeviceMember.fkMGCP = ?)",
              {gateway});
  }
  ahead.Run();
  devices.MoveFirst();
}

// The endpoint device's element: a phone in mode kTftp, else analog or digital access by protocol.
void AddEndpointDevice(CXMLElement& endpoint, zdl::CZDLSession& session, const zdl::CFastAccess& device,
                       RenderMode mode, const std::string& versionStamp) {
  if (zdl::IsPhoneClass(device.getInt("tkClass"))) {
    endpoint.AddNewChild<CXMLIPPhone>()->BuildFromRow(session, device, RenderMode::kTftp, versionStamp);
  } else if (device.getInt("tkDeviceProtocol") == zdl::kProtocolAnalog) {
    endpoint.AddNewChild<CXMLAnalogAccess>()->BuildFromRow(session, device, mode, versionStamp);
  } else {
    endpoint.AddNewChild<CXMLDigitalAccess>()->BuildFromRow(session, device, mode, versionStamp);
  }
}

// The model of a product ("tkModel" of TypeProduct); 0 for an unknown product.
long ProductModel(zdl::CZDLSession& session, long product) {
  zdl::CTypeList products(session, "TypeProduct");
  return products.Find(product) ? static_cast<long>(products.GetColumn("tkModel").AsInt()) : 0;
}

}  // namespace

void CXMLMGCP::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode,
                                 const std::string& versionStamp) {
  zdl::CFastAccess row(session, "MGCP");
  if (!ReadRecord(row, id)) return;
  SetTag("mgcp");
  if (mode == RenderMode::kNamespaces) AddDeviceNamespaces(*this);
  AddAttribute("xsi:type", "zeb:XMGCP");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("domainName", row.getString("DomainName"));
  AddChild("description", row.getString("Description"));
  const long product = row.getInt("tkProduct");
  const long model = ProductModel(session, product);
  AddNewChild<CXMLProductInfo>()->BuildFromDatabase(session, product);
  AddNewChild<CXMLModelInfo>()->BuildFromDatabase(session, model);
  AddNewChild<CXMLDialcoreGroup>()->BuildFromDatabase(session, row.getID("fkDialcoreGroup"), mode);
  AddNewChild<CXMLMGCPUnits>()->BuildFromDatabase(session, id, mode, versionStamp);
  AddChild("scratch", row.getString("Scratch"));
  AddChild("vendorConfig", row.getString("xml"));
  AddChild("versionStamp", versionStamp);
  AddNewChild<CXMLLoadInformation>()->BuildFromDatabase(session, row.getString("SpecialLoadInformation"), model);
  RemoveEmptyChildren();
}

void CXMLMGCPUnits::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& gateway, RenderMode mode,
                                      const std::string& versionStamp) {
  SetTag("units");
  const std::vector<SlotRow> slots = ReadSlotRows(session, gateway);
  zdl::CFastAccess devices(session, "Device");
  devices.SelectCustom(
      "SELECT Device.*, MGCPDeviceMember.Slot AS memberSlot, MGCPDeviceMember.Subunit AS memberSubunit, "
      "MGCPDeviceMember.Port AS memberPort FROM MGCPDeviceMember JOIN Device ON Device.pkid = "
      "MGCPDeviceMember.fkDevice WHERE MGCPDeviceMember.fkMGCP = ? ORDER BY MGCPDeviceMember.Slot, "
      "MGCPDeviceMember.Subunit, MGCPDeviceMember.Port",
      {gateway});
  zdl::CZDLReadAhead ahead(session);
  ReadEndpointsAhead(ahead, gateway, devices);
  CXMLElement* subunits = nullptr;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const SlotRow& row = slots[i];
    if (i == 0 || row.slot != slots[i - 1].slot) {
      CXMLElement* unit = AddNewChild("unit");
      unit->AddAttribute("index", std::to_string(row.slot));
      unit->AddNewChild<CXMLMGCPSlotModuleInfo>()->BuildFromDatabase(session, row.module);
      subunits = unit->AddNewChild("subunits");
    }
    if (row.isUnit) continue;
    CXMLElement* subunit = subunits->AddNewChild("subunit");
    subunit->AddAttribute("index", std::to_string(row.subunit));
    subunit->AddChild("product", TypeText(session, "TypeMGCPVic", row.vic));
    CXMLElement* endpoints = subunit->AddNewChild("endpoints");
    // Members are ordered like the slot rows: skip those of rows without a slot row of their own.
    auto before = [&] {
      const long slot = devices.getInt("memberSlot");
      return slot < row.slot || (slot == row.slot && devices.getInt("memberSubunit") < row.subunit);
    };
    while (!devices.IsEOF() && before()) devices.MoveNext();
    for (; !devices.IsEOF() && devices.getInt("memberSlot") == row.slot &&
           devices.getInt("memberSubunit") == row.subunit;
         devices.MoveNext()) {
      CXMLElement* endpoint = endpoints->AddNewChild("endpoint");
      endpoint->AddAttribute("index", std::to_string(devices.getInt("memberPort")));
      AddEndpointDevice(*endpoint, session, devices, mode, versionStamp);
    }
  }
}

}  // namespace zeb
