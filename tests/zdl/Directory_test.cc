#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "zdl/CLdapConfig.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/SecretHash.h"
#include "zdl/base/CZDLException.h"
#include "zdl/directory/CUserInfoList.h"
#include "zdl/directory/LdapConnection.h"
#include "zdl/directory/LdapDirectory.h"

namespace zeb::zdl {
namespace {

TEST(SecretHashTest, HashesAreSaltedSlowAndVerifiable) {
  const std::string first = HashSecret("s3cret"), second = HashSecret("s3cret");
  EXPECT_NE(first, second);
  EXPECT_EQ(0u, first.find("$pbkdf2-sha256$100000$")) << first;
  EXPECT_EQ(std::string::npos, first.find("s3cret"));
  EXPECT_TRUE(VerifySecret("s3cret", first));
  EXPECT_TRUE(VerifySecret("s3cret", second));
  EXPECT_FALSE(VerifySecret("s3creT", first));
  EXPECT_FALSE(VerifySecret("", first));
}

TEST(SecretHashTest, DamagedStoredFormsNeverVerify) {
  const std::string good = HashSecret("x");
  const std::string salt = good.substr(22, 24);
  for (const std::string& stored : {std::string("$pbkdf2-sha256$"), "$pbkdf2-sha256$abc$" + salt + "$AAAA",
                                     "$pbkdf2-sha256$0$" + good.substr(22), "$pbkdf2-sha256$99999999999$" + good.substr(22),
                                     good.substr(0, good.size() - 4), "$pbkdf2-sha1$" + good.substr(15)}) {
    EXPECT_FALSE(VerifySecret("x", stored)) << stored;
  }
}

TEST(SecretHashTest, Argon2HashesAreSaltedAndVerifiable) {
  const std::string first = Argon2Hash("1234"), second = Argon2Hash("1234");
  EXPECT_NE(first, second);
  EXPECT_EQ(0u, first.find("{ARGON2}$argon2id$v=19$m=19456,t=2,p=1$")) << first;
  EXPECT_TRUE(VerifyArgon2("1234", first));
  EXPECT_FALSE(VerifyArgon2("1235", first));
  EXPECT_FALSE(VerifyArgon2("1234", first.substr(8)));
  EXPECT_FALSE(VerifyArgon2("1234", HashSecret("1234")));
}

// Names are values, never filter syntax or a path: escaped by libldap as RFC 4515 and 4514 say.
TEST(LdapTextTest, NamesAreEscapedForFiltersAndDistinguishedNames) {
  EXPECT_EQ("\\2A\\29\\28uid=\\2A", EscapeFilterValue("*)(uid=*"));
  EXPECT_EQ("back\\5Cslash\\00", EscapeFilterValue(std::string("back\\slash\0", 11)));
  EXPECT_EQ("Zo\\C3\\AB", EscapeFilterValue("Zo\xc3\xab"));
  EXPECT_EQ("uid=\\23x\\2By\\20,ou=Users,dc=zeb", ChildDn("uid", "#x+y ", "ou=Users,dc=zeb"));
  for (const std::string rn : {"a,ou=x", "#x+y ", " lead", "Zo\xc3\xab", "*)(uid=*", "q\"<>;\\"}) {
    EXPECT_EQ(rn, FirstRdnValue(ChildDn("uid", rn, "dc=zeb"))) << rn;
  }
  EXPECT_THROW(ChildDn("uid", "x", "not a dn"), CZDLException);
}

TEST(LdapTextTest, PatternsMatchAsTheEmbeddedDirectoryMatches) {
  const struct {
    const char* pattern;
    const char* text;
    bool matches;
  } cases[] = {
      {"a_n", "Ann", true},   {"a_n", "Anna", false}, {"%", "", true},        {"%a%", "Bob", false},
      {"%B", "bob", true},    {"L__", "Le", false},
      {"Zo_", "Zo\xc3\xab", true},  {"Zo_", "Zo\xc3\xab!", false},  {"z%", "Zo\xc3\xab", true},
      {"ZO\xc3\x8b", "zo\xc3\xab", false},  // letters outside ASCII keep their case
      {"*", "*", true},       {"*", "x", false},      {"%a%a%", "banana", true}, {"%x%", "banana", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.matches, MatchesLike(c.pattern, c.text)) << c.pattern << " ~ " << c.text;
  EXPECT_TRUE(MatchesLike("", std::vector<std::string>{}));
  EXPECT_FALSE(MatchesLike("%", std::vector<std::string>{}));
}

// Entries round trip, name patterns and the cluster's manager password are shown through
// requests by User_e2e_test and ListQuery_e2e_test.
class DirectoryTest : public ::testing::Test {
 protected:
  DirectoryTest() : db_(CZDLDatabase::Open(dir_ / "zeb.db")), session_(db_->Session()) {}

  test::TempDir dir_;
  std::unique_ptr<CZDLDatabase> db_;
  CZDLSession& session_;
};

TEST_F(DirectoryTest, OpensOnlyWithTheManagerCredentials) {
  const CLdapConfig config(session_);
  EXPECT_EQ("cn=Directory Manager,o=zeb", config.GetManagerDn());
  DirectorySettings settings = config.settings();
  EXPECT_TRUE(settings.embedded());
  EXPECT_EQ("ou=Users,o=zeb", settings.userBase);
  settings.managerDn = "CN=directory manager,O=ZEB";
  EXPECT_NO_THROW(CUserInfoList(session_, settings));
  for (const auto& [dn, password] : {std::pair<std::string, std::string>{config.GetManagerDn(), ""},
                                     {"cn=someone,o=zeb", config.GetManagerPassword()}}) {
    settings.managerDn = dn;
    settings.managerPassword = password;
    EXPECT_THROW(CUserInfoList(session_, settings), CZDLException) << dn << " / " << password;
  }
}

// How the secrets rest is checked through requests by UserTest.SecretsNeverLeaveTheServer.
TEST_F(DirectoryTest, RemovingAnEntryLeavesNoAttributeBehind) {
  auto users = OpenUserDirectory(session_);
  auto user = users->Insert("jdoe");
  user->PutVal("password", "pw");
  user->PutPIN("1234");
  user->PutVal("telephoneNumber", "5550");
  user->PutDeviceNames("SEP1 ~ SEP2");
  users->Update();
  users->SelectByRn("JDOE");
  ASSERT_EQ(1u, users->Count());
  users->Delete();
  users->Update();
  EXPECT_TRUE(session_.Query("SELECT * FROM DirectoryAttribute").rows.empty());
}

}  // namespace
}  // namespace zeb::zdl
