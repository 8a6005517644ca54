// One directory user as the directory classes hand it out: read its attributes, change them,
// and let its CUserInfoList write the changes. Setters store a value as given (an empty value
// removes the attribute); the secrets (the password and the PIN) are hashed by the back end as
// they are written, and are never read back. Multi-valued attributes are passed and returned as
// one text whose values are joined by " ~ ".
#pragma once

#include <set>
#include <string>
#include <vector>

#include "zdl/directory/DirectoryBackEnd.h"

namespace zeb::zdl {

// The separator of the values of a multi-valued attribute in one text.
constexpr char kValueSeparator[] = " ~ ";

// Splits text at each " ~ "; the empty text has no values.
std::vector<std::string> SplitValues(const std::string& text);
std::string JoinValues(const std::vector<std::string>& values);

class CUserInfo {
 public:
  CUserInfo(DirectoryEntry entry, bool isNew);

  const std::string& GetRn() const { return entry_.rn; }
  // Where the entry lives in the directory; "" until it is written.
  const std::string& GetDn() const { return entry_.dn; }

  // The first value of an attribute, or "" when it has none.
  std::string GetVal(const std::string& attribute) const;
  // Every value of an attribute, in order.
  std::vector<std::string> GetValues(const std::string& attribute) const;
  // Replaces the attribute's values with value; "" removes the attribute.
  void PutVal(const std::string& attribute, const std::string& value);

#define ZEB_USER_TEXT(Stem, attribute)                                   \
  std::string Get##Stem() const { return GetVal(attribute); }            \
  void Put##Stem(const std::string& value) { PutVal(attribute, value); }
  ZEB_USER_TEXT(Cn, "cn")
  ZEB_USER_TEXT(GivenName, "givenName")
  ZEB_USER_TEXT(Sn, "sn")
  ZEB_USER_TEXT(UserId, "uid")
  ZEB_USER_TEXT(PIN, "pin")
  ZEB_USER_TEXT(Extensions, "extension")
  ZEB_USER_TEXT(Manager, "manager")
  ZEB_USER_TEXT(AAKeyPadMapping, "aaKeyPadMapping")
  ZEB_USER_TEXT(AssociatedPC, "associatedPC")
  ZEB_USER_TEXT(AuthenticationProxyRights, "authenticationProxyRights")
  ZEB_USER_TEXT(AutoAttendantNameDialing, "autoAttendantNameDialing")
  ZEB_USER_TEXT(IAQExtension, "iaqExtension")
  ZEB_USER_TEXT(DefaultDeviceProfile, "defaultDeviceProfile")
#undef ZEB_USER_TEXT

  // Multi-valued, as " ~ "-joined text.
  std::string GetDeviceNames() const { return JoinValues(GetValues("deviceName")); }
  void PutDeviceNames(const std::string& names) { PutValues("deviceName", SplitValues(names)); }
  std::string GetDeviceProfiles() const { return JoinValues(GetValues("deviceProfile")); }
  void PutDeviceProfiles(const std::string& names) { PutValues("deviceProfile", SplitValues(names)); }

  // False unless "true" was stored.
  bool GetCTIEnabled() const { return GetVal("ctiEnabled") == "true"; }
  void PutCTIEnabled(bool enabled) { PutVal("ctiEnabled", enabled ? "true" : "false"); }
  // The stored text, "false" when none.
  std::string GetAllDevices() const;
  void PutAllDevices(const std::string& text) { PutVal("allDevices", text); }

 private:
  friend class CUserInfoList;

  void PutValues(const std::string& attribute, std::vector<std::string> values);

  DirectoryEntry entry_;
  bool isNew_;
  std::set<std::string> changed_;
};

}  // namespace zeb::zdl
