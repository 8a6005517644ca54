#include "server/GroupFile.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "server/TestHashes.h"

namespace zeb::server {
namespace {

std::string ErrorOf(const std::string& text) {
  std::vector<std::string> notes;
  try {
    RoleTable::Parse(text, &notes);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

TEST(RoleTableTest, RolesByUserWithSeveralLinesPerRoleAndTheHighestOfTwo) {
  std::vector<std::string> notes;
  const RoleTable table = RoleTable::Parse(
      "# monitoring\r\nread: mon  zoë\n\nwrite:prov\n  admin : alice\tbob \nread: carol prov\nwrite: bob\n", &notes);
  EXPECT_EQ(Role::kRead, table.RoleOf("mon"));
  EXPECT_EQ(Role::kRead, table.RoleOf("zoë"));
  EXPECT_EQ(Role::kRead, table.RoleOf("carol"));
  EXPECT_EQ(Role::kWrite, table.RoleOf("prov"));
  EXPECT_EQ(Role::kAdmin, table.RoleOf("alice"));
  EXPECT_EQ(Role::kAdmin, table.RoleOf("bob"));
  EXPECT_EQ(Role::kNone, table.RoleOf("Mon"));
  EXPECT_EQ(Role::kNone, table.RoleOf("#"));
  EXPECT_EQ(6u, table.size());
  EXPECT_EQ((std::vector<std::string>{
                "line 6: 'prov' is also in the write group (line 4); the higher role, write, is theirs",
                "line 7: 'bob' is also in the admin group (line 5); the higher role, admin, is theirs"}),
            notes);
}

TEST(RoleTableTest, MalformedLinesAndUnknownRolesAreRefusedWithTheirLine) {
  EXPECT_EQ("line 2: no colon (a line is \"role: user user ...\")", ErrorOf("read: a\nwrite b\n"));
  EXPECT_EQ("line 3: unknown role \"readers\" (read, write or admin)", ErrorOf("\n#\nreaders: a\n"));
  EXPECT_EQ("line 1: unknown role \"none\" (read, write or admin)", ErrorOf("none: a"));
  EXPECT_EQ("line 1: unknown role \"\" (read, write or admin)", ErrorOf(": a"));
  EXPECT_EQ("", ErrorOf("admin:\n"));
}

TEST(RoleTableTest, MismatchesWithTheAuthFileNameAtMostTenUsersPerList) {
  const std::string hash = test::MakeHash("$y$", "pw");
  std::string auth;
  for (const char* user :
       {"mon", "prov", "u01", "u02", "u03", "u04", "u05", "u06", "u07", "u08", "u09", "u10", "u11"})
    auth += user + (":" + hash) + "\n";
  std::vector<std::string> notes;
  const UserTable users = UserTable::Parse(auth, &notes);
  ASSERT_EQ(13u, users.size());
  EXPECT_EQ(
      (std::vector<std::string>{
          "group file 'g' names users that auth file 'a' does not: Mon, carl",
          "auth file 'a' has users without a role in group file 'g', who may call no method: u01, u02, u03, "
          "u04, u05, u06, u07, u08, u09, u10 and 1 more"}),
      RoleMismatches(users, "a", RoleTable::Parse("read: mon Mon\nwrite: prov carl\n", &notes), "g"));
  EXPECT_EQ(
      (std::vector<std::string>{
          "auth file 'a' has users without a role in group file 'g', who may call no method: u01, u02, u03, "
          "u04, u05, u06, u07, u08, u09, u10"}),
      RoleMismatches(users, "a", RoleTable::Parse("read: mon prov u11\n", &notes), "g"));
  EXPECT_EQ(std::vector<std::string>{}, RoleMismatches(UserTable::Parse("mon:" + hash, &notes), "a",
                                                       RoleTable::Parse("read: mon", &notes), "g"));
}

}  // namespace
}  // namespace zeb::server
