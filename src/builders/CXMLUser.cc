#include "builders/CXMLUser.h"

#include "builders/BuilderSupport.h"

namespace zeb {

namespace {

// An element holding one child named item per value.
void AddList(CXMLElement& parent, const char* tag, const char* item, const std::vector<std::string>& values) {
  CXMLElement* list = parent.AddNewChild(tag);
  for (const std::string& value : values) list->AddChild(item, value);
}

}  // namespace

void CXMLUser::BuildFromDatabase(const zdl::CUserInfo& user) {
  AddChild("firstName", user.GetGivenName());
  AddChild("lastName", user.GetSn());
  AddChild("ldapRN", user.GetRn());
  AddChild("ldapDN", user.GetDn());
  AddChild("email", user.GetVal("email"));
  AddChild("userid", user.GetUserId());
  // The secrets stay in the directory: their elements are always empty.
  AddChild("password", "");
  AddChild("pin", "");
  AddChild("telephoneNumber", user.GetVal("telephoneNumber"));
  AddChild("extension", user.GetExtensions());
  AddChild("department", user.GetVal("department"));
  AddChild("location", user.GetVal("location"));
  AddChild("manager", user.GetManager());
  AddChild("locale", user.GetVal("locale"));
  AddChild("aaKeyPadMapping", user.GetAAKeyPadMapping());
  AddList(*this, "associatedDevices", "device", zdl::SplitValues(user.GetDeviceNames()));
  AddChild("associatedPC", user.GetAssociatedPC());
  AddChild("authenticationProxyRights", user.GetAuthenticationProxyRights());
  AddChild("autoAttendantNameDialing", user.GetAutoAttendantNameDialing());
  AddChild("enableCTI", BoolText(user.GetCTIEnabled()));
  AddChild("enableCTIAllDevices", user.GetAllDevices());
  AddChild("iaqExtension", user.GetIAQExtension());
  AddList(*this, "phoneProfiles", "profileName", zdl::SplitValues(user.GetDeviceProfiles()));
}

}  // namespace zeb
