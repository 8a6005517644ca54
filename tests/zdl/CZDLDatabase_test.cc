#include "zdl/CZDLDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "support/TempDir.h"
#include "zdl/CFastAccess.h"
#include "zdl/CTypeList.h"
#include "zdl/CZDLException.h"
#include "zdl/Records.h"

namespace zeb::zdl {
namespace {

using test::TempDir;

int ExceptionId(const std::function<void()>& action) {
  try {
    action();
  } catch (const CZDLException& error) {
    return error.GetExceptionID();
  }
  return 0;
}

void RawSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
  char* error = nullptr;
  EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error)) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

// Two numbers that share pattern and partition and differ in their route filter.
const char kPatternWithAndWithoutFilter[] =
    "INSERT INTO RouteFilter (pkid, Name) VALUES ('{F0000000-0000-0000-0000-000000000001}', 'RF');"
    "INSERT INTO NumPlan (pkid, DNOrPattern) VALUES ('{F0000000-0000-0000-0000-000000000002}', '9.@');"
    "INSERT INTO NumPlan (pkid, DNOrPattern, fkRouteFilter) VALUES ('{F0000000-0000-0000-0000-000000000003}', "
    "'9.@', '{F0000000-0000-0000-0000-000000000001}')";

TEST(CZDLDatabaseTest, FreshDatabaseIsCreatedAndSeeded) {
  TempDir dir;
  auto db = CZDLDatabase::Open(dir / "zeb.db");
  CZDLSession& session = db->Session();
  CTypeList classes(session, "TypeClass");
  ASSERT_TRUE(classes.Find(254));
  EXPECT_EQ("Device Profile", classes.GetText());
  CFastAccess node(session, "ProcessNode");
  node.SelectByID(CZDLID("{00000000-1111-0000-0000-000000000000}"));
  ASSERT_FALSE(node.IsEOF());
  CDevicePoolList pools(session);
  pools.SelectByName("default");
  ASSERT_EQ(1u, pools.Count());
  EXPECT_EQ("Default", pools.GetCurrentItem()->GetName());
}

TEST(CZDLDatabaseTest, ReopeningKeepsDataAndDoesNotReseed) {
  TempDir dir;
  {
    auto db = CZDLDatabase::Open(dir / "zeb.db");
    CRoutePartitionList list(db->Session());
    list.Insert()->PutName("Kept");
    list.Update();
    CSoftkeyTemplateList templates(db->Session());
    templates.SelectByName("Standard Feature");
    templates.Delete();
    templates.Update();
  }
  auto db = CZDLDatabase::Open(dir / "zeb.db");
  CRoutePartitionList list(db->Session());
  list.SelectByName("Kept");
  EXPECT_EQ(1u, list.Count());
  CSoftkeyTemplateList templates(db->Session());
  templates.SelectByName("Standard Feature");
  EXPECT_EQ(0u, templates.Count());
}

TEST(CZDLDatabaseTest, ForeignFilesAreRefused) {
  TempDir dir;
  RawSql(dir / "other.db", "CREATE TABLE notes (text TEXT)");
  EXPECT_EQ(kZDLSchemaMismatch, ExceptionId([&] { CZDLDatabase::Open(dir / "other.db"); }));
  std::ofstream(dir / "text.db") << "these are not the bytes of a database file, but long enough to look at";
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] { CZDLDatabase::Open(dir / "text.db"); }));
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] { CZDLDatabase::Open(dir / "missing/dir/zeb.db"); }));
}

TEST(CZDLDatabaseTest, NewerSchemaIsRefused) {
  TempDir dir;
  CZDLDatabase::Open(dir / "zeb.db");
  RawSql(dir / "zeb.db", "UPDATE ZebSchema SET version = version + 1");
  EXPECT_EQ(kZDLSchemaMismatch, ExceptionId([&] { CZDLDatabase::Open(dir / "zeb.db"); }));
}

TEST(CZDLDatabaseTest, OlderSchemaIsUpgradedInPlace) {
  TempDir dir;
  {
    auto db = CZDLDatabase::Open(dir / "zeb.db");
    CRoutePartitionList list(db->Session());
    list.Insert()->PutName("Survivor");
    list.Update();
  }
  // An older build: no MGCP tables, no Description column on partitions, fewer type rows,
  // numbers unique by pattern and partition alone, a calling search space without its clause.
  RawSql(dir / "zeb.db",
         "DROP TABLE MGCPDeviceMember; DROP TABLE MGCPSlotConfig; DROP TABLE MGCP;"
         "ALTER TABLE RoutePartition DROP COLUMN Description; DELETE FROM TypeClass WHERE Enum = 254;"
         "DROP INDEX ux_NumPlan_PatternInPartitionAndFilter; CREATE UNIQUE INDEX ux_NumPlan_PatternInPartition "
         "ON NumPlan (DNOrPattern, COALESCE(fkRoutePartition, ''));"
         "INSERT INTO CallingSearchSpace (pkid, Name) VALUES ('{C0000000-0000-0000-0000-000000000001}', 'Front');"
         "INSERT INTO callingSearchSpaceMember (pkid, fkCallingSearchSpace, fkRoutePartition) SELECT "
         "'{C0000000-0000-0000-0000-000000000002}', '{C0000000-0000-0000-0000-000000000001}', pkid FROM RoutePartition;"
         "UPDATE ZebSchema SET version = 1, fingerprint = 'older'");
  auto db = CZDLDatabase::Open(dir / "zeb.db");
  CZDLSession& session = db->Session();
  CRoutePartitionList list(session);
  list.SelectByName("Survivor");
  ASSERT_EQ(1u, list.Count());
  list.GetCurrentItem()->PutDescription("now possible");
  list.Update();
  CMGCPList gateways(session);
  gateways.SelectAll();
  EXPECT_EQ(0u, gateways.Count());
  EXPECT_EQ("Device Profile", CTypeList(session, "TypeClass").GetStringRef(254));
  session.ExecScript(kPatternWithAndWithoutFilter);
  EXPECT_EQ("Survivor", session.Query("SELECT Clause FROM CallingSearchSpace").rows.at(0).at(0).AsText());
}

TEST(CZDLIDTest, ParsesClientTextIntoCanonicalForm) {
  EXPECT_EQ("{0A1B2C3D-0000-1111-2222-ABCDEFABCDEF}", CZDLID("0a1b2c3d-0000-1111-2222-abcdefabcdef").str());
  EXPECT_EQ("{0A1B2C3D-0000-1111-2222-ABCDEFABCDEF}", CZDLID("{0a1b2c3d-0000-1111-2222-ABCDEFabcdef}").str());
  EXPECT_TRUE(CZDLID("").isNull());
  EXPECT_TRUE(CZDLID::NULLID().isNull());
  for (const char* bad : {"{1234}", "not a guid", "{0A1B2C3D-0000-1111-2222-ABCDEFABCDEG}", "' OR 1=1 --"}) {
    EXPECT_EQ(kZDLInvalidParameter, ExceptionId([&] { CZDLID id(bad); })) << bad;
  }
  const CZDLID fresh = CZDLID::New();
  EXPECT_EQ(38u, fresh.str().size());
  EXPECT_EQ(fresh, CZDLID(fresh.str()));
}

}  // namespace
}  // namespace zeb::zdl
