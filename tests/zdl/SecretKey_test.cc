#include "zdl/SecretKey.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempDir.h"
#include "zdl/CLdapConfig.h"
#include "zdl/CProcessConfigList.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/base/CZDLException.h"

namespace zeb::zdl {
namespace {

using test::TempDir;

unsigned ModeOf(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 01000;
}

TEST(SecretKeyTest, SealedValuesOpenOnlyWithTheirKeyAndName) {
  auto key = SecretKey::Generate(), other = SecretKey::Generate();
  const std::string sealed = key->Seal("DirectoryManagerPassword", "s3cret");
  EXPECT_TRUE(IsSealed(sealed));
  EXPECT_EQ(std::string::npos, sealed.find("s3cret"));
  EXPECT_NE(sealed, key->Seal("DirectoryManagerPassword", "s3cret"));  // a fresh nonce each time
  EXPECT_EQ("s3cret", key->Open("DirectoryManagerPassword", sealed));
  EXPECT_EQ("", key->Seal("x", ""));
  EXPECT_EQ("", key->Open("x", ""));
  std::string tampered = sealed;
  tampered[tampered.size() - 3] ^= 1;
  for (const auto& [opener, name, value] :
       {std::tuple{other, "DirectoryManagerPassword", sealed}, {key, "DirectoryURL", sealed},
        {key, "DirectoryManagerPassword", tampered}, {key, "DirectoryManagerPassword", std::string("s3cret")}}) {
    try {
      opener->Open(name, value);
      ADD_FAILURE() << "opened " << value << " for " << name;
    } catch (const CZDLException& error) {
      EXPECT_EQ(kZDLDatabaseUnavailable, error.GetExceptionID());
      EXPECT_STREQ(kSecretKeyMismatch, error.what());
    }
  }
}

TEST(SecretKeyTest, KeyFilesArePrivateAndExact) {
  TempDir dir;
  auto key = SecretKey::Generate();
  key->Save(dir / "zeb.key");
  EXPECT_EQ(0600u, ModeOf(dir / "zeb.key"));
  EXPECT_EQ("x", SecretKey::Load(dir / "zeb.key")->Open("n", key->Seal("n", "x")));
  EXPECT_THROW(key->Save(dir / "zeb.key"), std::runtime_error);  // never overwritten
  chmod((dir / "zeb.key").c_str(), 0640);
  EXPECT_THROW(SecretKey::Load(dir / "zeb.key"), std::runtime_error);
  { std::ofstream(dir / "short.key") << std::string(63, 'a') << "\n"; }
  chmod((dir / "short.key").c_str(), 0600);
  EXPECT_THROW(SecretKey::Load(dir / "short.key"), std::runtime_error);
  EXPECT_THROW(SecretKey::Load(dir / "missing.key"), std::runtime_error);
  EXPECT_EQ(nullptr, SecretKey::FromHex(std::string(64, 'g')));
  EXPECT_EQ(dir / "zeb.key", DefaultKeyPath(dir / "zeb.db"));
  EXPECT_EQ("zeb.key", DefaultKeyPath("postgresql://zeb@db/zeb"));
}

// The manager password rests sealed; a database refuses a key that does not open it, and seals
// what an older build left in plain text.
TEST(SecretKeyTest, DatabasesKeepTheManagerPasswordSealed) {
  TempDir dir;
  const std::string path = dir / "zeb.db";
  auto key = SecretKey::Generate();
  std::string password;
  {
    auto db = CZDLDatabase::Open(path, key);
    password = CLdapConfig(db->Session()).GetManagerPassword();
    EXPECT_EQ(32u, password.size());
    EXPECT_EQ(std::string::npos, test::ReadFile(path).find(password));
  }
  EXPECT_EQ(0600u, ModeOf(path));
  EXPECT_THROW(CZDLDatabase::Open(path, SecretKey::Generate()), CZDLException);
  {
    auto db = CZDLDatabase::Open(path);  // without a key nothing is checked or sealed
    db->Session().Execute("UPDATE ProcessConfig SET paramValue = ? WHERE paramName = ?",
                          {CZDLValue("plain-pw"), CZDLValue(kManagerPasswordParameter)});
  }
  auto db = CZDLDatabase::Open(path, key);
  CProcessConfigList parameters(db->Session());
  SelectEnterpriseWide(parameters);
  EXPECT_TRUE(IsSealed(GetStringParam(parameters, kManagerPasswordParameter)));
  EXPECT_EQ("plain-pw", CLdapConfig(db->Session()).GetManagerPassword());
}

}  // namespace
}  // namespace zeb::zdl
