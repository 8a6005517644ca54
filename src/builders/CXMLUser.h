// The "user" element of one directory user.
#pragma once

#include "soap/CXMLElement.h"
#include "zdl/directory/CUserInfo.h"

namespace zeb {

class CXMLUser : public CXMLElement {
 public:
  CXMLUser() { SetTag("user"); }
  // The user's children in their fixed order; "password" and "pin" are empty, "associatedDevices"
  // holds one "device" and "phoneProfiles" one "profileName" per value.
  void BuildFromDatabase(const zdl::CUserInfo& user);
};

}  // namespace zeb
