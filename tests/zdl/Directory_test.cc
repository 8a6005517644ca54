#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLException.h"
#include "zdl/directory/CLdapConfig.h"
#include "zdl/directory/CUserInfoList.h"
#include "zdl/directory/SecretHash.h"

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
  EXPECT_NO_THROW(CUserInfoList(session_, "CN=directory manager,O=ZEB", config.GetManagerPassword()));
  for (const auto& [dn, password] : {std::pair<std::string, std::string>{config.GetManagerDn(), ""},
                                     {"cn=someone,o=zeb", config.GetManagerPassword()}}) {
    EXPECT_THROW(CUserInfoList(session_, dn, password), CZDLException) << dn << " / " << password;
  }
}

TEST_F(DirectoryTest, RemovingAnEntryLeavesNoAttributeBehind) {
  auto users = OpenUserDirectory(session_);
  auto user = users->Insert("jdoe");
  user->PutVal("password", "pw");
  user->PutVal("telephoneNumber", "5550");
  user->PutDeviceNames("SEP1 ~ SEP2");
  users->Update();
  users->SelectByRn("JDOE");
  ASSERT_EQ(1u, users->Count());
  EXPECT_FALSE(session_.Query("SELECT * FROM DirectoryAttribute").rows.empty());
  users->Delete();
  users->Update();
  EXPECT_TRUE(session_.Query("SELECT * FROM DirectoryAttribute").rows.empty());
}

}  // namespace
}  // namespace zeb::zdl
