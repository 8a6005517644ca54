// What only the embedded back end does with its file, and identifiers; the library's behaviour on
// both back ends is in PostgresLibrary_test.
#include "zdl/CZDLDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "support/TempDir.h"
#include "zdl/base/CZDLException.h"

namespace zeb::zdl {
namespace {

int ExceptionId(const std::function<void()>& action) {
  try {
    action();
  } catch (const CZDLException& error) {
    return error.GetExceptionID();
  }
  return 0;
}

TEST(CZDLDatabaseTest, ForeignFilesAreRefused) {
  test::TempDir dir;
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open((dir / "other.db").c_str(), &db));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "CREATE TABLE notes (text TEXT)", nullptr, nullptr, nullptr));
  sqlite3_close(db);
  EXPECT_EQ(kZDLSchemaMismatch, ExceptionId([&] { CZDLDatabase::Open(dir / "other.db"); }));
  std::ofstream(dir / "text.db") << "these are not the bytes of a database file, but long enough to look at";
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] { CZDLDatabase::Open(dir / "text.db"); }));
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] { CZDLDatabase::Open(dir / "missing/dir/zeb.db"); }));
}

TEST(CZDLIDTest, ParsesClientTextIntoCanonicalForm) {
  EXPECT_EQ("{0A1B2C3D-0000-1111-2222-ABCDEFABCDEF}", CZDLID("0a1b2c3d-0000-1111-2222-abcdefabcdef").str());
  EXPECT_EQ("{0A1B2C3D-0000-1111-2222-ABCDEFABCDEF}", CZDLID("{0a1b2c3d-0000-1111-2222-ABCDEFabcdef}").str());
  EXPECT_TRUE(CZDLID("").isNull());
  for (const char* bad : {"{1234}", "{0A1B2C3D-0000-1111-2222-ABCDEFABCDEG}", "' OR 1=1 --"}) {
    EXPECT_EQ(kZDLInvalidParameter, ExceptionId([&] { CZDLID id(bad); })) << bad;
  }
  const CZDLID fresh = CZDLID::New();
  EXPECT_EQ(fresh, CZDLID(fresh.str()));
}

}  // namespace
}  // namespace zeb::zdl
