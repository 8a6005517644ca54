// The role each method needs: its verb decides, except for the methods of the admin role.
#include "dispatch/MethodTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace zeb {
namespace {

const std::set<std::string> kAdminMethods = {
    "listServiceParameters", "getServiceParameter", "updateServiceParameter", "addUser",
    "updateUser",            "removeUser",          "getUser",                "listUserByName"};

// The role a method's name implies by its verb.
Role RoleOfVerb(const std::string& name) {
  for (const char* verb : {"get", "list"}) {
    if (name.rfind(verb, 0) == 0) return Role::kRead;
  }
  for (const char* verb : {"add", "update", "remove", "do", "create"}) {
    if (name.rfind(verb, 0) == 0) return Role::kWrite;
  }
  ADD_FAILURE() << name << " has no verb that implies a role";
  return Role::kNone;
}

TEST(MethodTableTest, EveryMethodNeedsTheRoleItsVerbImpliesExceptTheAdminOnes) {
  std::size_t methods = 0, admin = 0;
  for (const MethodEntry& entry : MethodTable()) {
    ++methods;
    const bool isAdmin = kAdminMethods.count(entry.name) > 0;
    admin += isAdmin;
    EXPECT_EQ(RoleName(isAdmin ? Role::kAdmin : RoleOfVerb(entry.name)), std::string(RoleName(entry.role)))
        << entry.name;
  }
  EXPECT_EQ(120u, methods);
  EXPECT_EQ(kAdminMethods.size(), admin);
}

}  // namespace
}  // namespace zeb
