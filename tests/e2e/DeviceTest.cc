#include "e2e/DeviceTest.h"

#include <regex>

#include "zdl/Records.h"

namespace zeb::test {

void DeviceTest::SetUp() {
  internal_ = AddPartition("Internal");
  dn1000_ = AddNumber("1000", internal_);
  dn1001_ = AddNumber("1001", internal_);
}

std::string DeviceTest::Joined(const std::string& sql, const std::string& value) {
  std::string joined;
  for (const auto& row : Db().Query(sql, {value}).rows) joined += (joined.empty() ? "" : ",") + row[0].AsText();
  return joined;
}

std::string DeviceTest::AddNamed(const std::string& table, const std::string& name) {
  const std::string id = zdl::CZDLID::New().str();
  Db().Execute("INSERT INTO " + table + " (pkid, Name) VALUES (?, ?)", {id, name});
  return id;
}

std::string PhoneHead(const std::string& name, const std::string& product,
                                  const std::string& description) {
  return "<name>" + name + "</name>" + (description.empty() ? "" : "<description>" + description + "</description>") +
         "<product>" + product +
         "</product><model/><class/><protocol>Station</protocol><protocolSide>User</protocolSide>";
}

std::string LineElement(const std::string& uuid, int index, const std::string& label,
                        const std::string& display, const std::string& dirn, const std::string& ring,
                        const std::string& consecutive, const std::string& mask, int wizard,
                        const std::string& mwl) {
  return "<line  uuid=\"" + uuid + "\" index=\"" + std::to_string(index) + "\">\r\n" + El("label", label) +
         El("display", display) + Ref("dirn", dirn) + El("ringSetting", ring) +
         El("consecutiveRingSetting", consecutive) + El("e164Mask", mask) +
         El("dialPlanWizardId", std::to_string(wizard)) + El("mwlPolicy", mwl) + "</line>\r\n";
}

std::string Identity(const std::string& name, const std::string& description, const std::string& product,
                     const std::string& deviceClass, const std::string& protocol, const std::string& side) {
  return El("name", name) + El("description", description) + El("product", product) + El("model", product) +
         El("class", deviceClass) + El("protocol", protocol) + El("protocolSide", side);
}

std::string DeviceTest::DeviceTag(const std::string& tag, const std::string& type, const std::string& id) {
  return "<" + tag + "  xsi:type=\"zeb:" + type + "\" ctiid=\"" +
         Column("SELECT CtiId FROM Device WHERE pkid = ?", id) + "\" uuid=\"" + id + "\">\r\n";
}

std::string DeviceTest::AddPhone(const std::string& elements) {
  return CallForId("addPhone", "<addPhone><newPhone>" + elements + "</newPhone></addPhone>");
}

std::string DeviceTest::AddProfile(const std::string& name, const std::string& rest) {
  return CallForId("addDeviceProfile", "<addDeviceProfile><newProfile><name>" + name +
                                           "</name><product>Desk Phone 12</product><model/><class/><protocol/>"
                                           "<protocolSide/>" + rest + "</newProfile></addDeviceProfile>");
}

std::string DeviceTest::WithoutStamp(std::string response) {
  static const std::regex kStamp("<versionStamp>[^<]*</versionStamp>");
  return std::regex_replace(response, kStamp, "<versionStamp>{STAMP}</versionStamp>");
}

}  // namespace zeb::test
