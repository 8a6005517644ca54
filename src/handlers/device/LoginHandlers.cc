#include "handlers/device/LoginHandlers.h"

#include "zdl/CSystem.h"
#include "zdl/Records.h"

namespace zeb {

namespace {

const char kDeviceNullText[] = "Found NULL, expecting <deviceName> or <deviceId>";
const char kDeviceExpected[] = "<deviceName> or <deviceId>";

// The device of a login or logout: by name (looked up here) or by identifier (checked by the
// cluster). Advances past the element.
zdl::CZDLID ReadLoginDevice(zdl::CZDLSession& session, ElementCursor& cursor) {
  cursor.RequireNotNull(kDeviceNullText);
  zdl::CZDLID device;
  if (cursor.Is("deviceName")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    device = FindIdByName<zdl::CDeviceList>(session, name, "Device not found with name " + name + ".");
  } else if (cursor.Is("deviceId")) {
    device = ParseID(RequireValue(cursor.node(), ValueWording::kMustContain));
  } else {
    cursor.ThrowFound(kDeviceExpected);
  }
  cursor.Advance();
  return device;
}

// A required element's value, with the login handlers' messages.
std::string RequiredValue(ElementCursor& cursor, const std::string& element) {
  cursor.Expect(element.c_str(), "<" + element + ">.", "Found NULL, expecting <" + element + ">.");
  std::string value = RequireValue(cursor.node(), ValueWording::kMustContain);
  cursor.Advance();
  return value;
}

}  // namespace

void CDeviceLoginHandler::Login(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID device = ReadLoginDevice(db(), cursor);
  const long duration = ParseLong(RequiredValue(cursor, "loginDuration"));
  const zdl::CZDLID profile = ReadProfile(cursor);
  const std::string userId = RequiredValue(cursor, "userId");
  zdl::CSystem(db()).DeviceLogin(device, profile, userId, duration, false);
  Return(result, zdl::CZDLID());
}

zdl::CZDLID CDeviceLoginHandler::ReadProfile(ElementCursor& cursor) {
  cursor.RequireNotNull("Found NULL, expecting <profileId>.");
  zdl::CZDLID profile;
  if (cursor.Is("profileId")) {
    profile = ParseID(RequireValue(cursor.node(), ValueWording::kMustContain));
  } else if (cursor.Is("profileName")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    profile = FindIdByName<zdl::CDeviceList>(db(), name, "Profile not found with name " + name + ".");
  } else {
    cursor.ThrowFound("<profileId> or <profileName>.");
  }
  cursor.Advance();
  return profile;
}

void CDeviceLoginHandler::Logout(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CSystem(db()).DeviceLogout(ReadLoginDevice(db(), cursor));
  Return(result, zdl::CZDLID());
}

void CDeviceLoginHandler::Reset(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDeviceList devices(db());
  Identify(cursor, devices,
           {kDeviceNullText, kDeviceExpected, "deviceName", ValueWording::kMustContain, "deviceId",
            ValueWording::kMustContain, "The specified device was not found."});
  auto device = devices.GetCurrentItem();
  const bool hard = ParseBoolean(RequiredValue(cursor, "isHardReset"));
  zdl::CSystem(db()).DoDeviceResetByName(device->GetName(), device->GetModel(),
                                         hard ? zdl::kResetHard : zdl::kResetSoft);
  Return(result, zdl::CZDLID());
}

}  // namespace zeb
