// What only the shared back end does: creating and upgrading the schema on a server, living
// through lost connections, and dropping caches when another process changes the database.
// Skipped unless ZEB_TEST_PG (or ZEB_TEST_DB) names a PostgreSQL server.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "builders/CXMLRoutePartition.h"
#include "e2e/ZebdProcess.h"
#include "support/PgScratchDatabase.h"
#include "zdl/CTypeList.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLException.h"
#include "zdl/Records.h"

namespace zeb::zdl {
namespace {

using Clock = std::chrono::steady_clock;

int ExceptionId(const std::function<void()>& action) {
  try {
    action();
  } catch (const CZDLException& error) {
    return error.GetExceptionID();
  }
  return 0;
}

CZDLID AddPartition(CZDLSession& session, const std::string& name) {
  CRoutePartitionList list(session);
  auto partition = list.Insert();
  partition->PutName(name);
  list.Update();
  return partition->GetID();
}

// Two numbers that share pattern and partition and differ in their route filter.
const char kPatternWithAndWithoutFilter[] =
    "INSERT INTO RouteFilter (pkid, Name) VALUES ('{F0000000-0000-0000-0000-000000000001}', 'RF');"
    "INSERT INTO NumPlan (pkid, DNOrPattern) VALUES ('{F0000000-0000-0000-0000-000000000002}', '9.@');"
    "INSERT INTO NumPlan (pkid, DNOrPattern, fkRouteFilter) VALUES ('{F0000000-0000-0000-0000-000000000003}', "
    "'9.@', '{F0000000-0000-0000-0000-000000000001}')";

std::size_t CountPartitions(CZDLSession& session) {
  CRoutePartitionList list(session);
  list.SelectAll();
  return list.Count();
}

// Waits (bounded) until condition holds.
bool Eventually(const std::function<bool()>& condition) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// A module cache that counts how often it was dropped; it depends on route partitions only.
class PartitionCountingCache : public ModuleCache {
 public:
  void Invalidate() override { ++drops; }
  bool DependsOn(const std::string& table) const override { return table == "routepartition"; }
  std::atomic<int> drops{0};
};

class PostgresSharedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = test::PgScratchDatabase::ServerForTests();
    if (server_.empty()) GTEST_SKIP() << "no PostgreSQL server: set ZEB_TEST_PG (see tests/pg/cluster.sh)";
  }

  // A fresh database: a copy of the seeded template, or one without tables.
  std::string Fresh(test::PgScratchDatabase::Contents contents = test::PgScratchDatabase::Contents::kSeeded) {
    scratch_.push_back(std::make_unique<test::PgScratchDatabase>(server_, test::ZebdBuildStamp(), contents));
    return scratch_.back()->location();
  }

  // Runs SQL as the administrator; fails the test when the server refuses it.
  void Admin(const std::string& location, const std::string& sql) { EXPECT_EQ("", test::PgRun(location, sql)) << sql; }

  // Ends every other connection to the database of location, as a server restart would.
  void CutConnections(const std::string& location) { Admin(location, kCutOthers); }

  static constexpr char kCutOthers[] =
      "SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE datname = current_database() AND pid <> "
      "pg_backend_pid()";

  std::string server_;
  std::vector<std::unique_ptr<test::PgScratchDatabase>> scratch_;
};

TEST_F(PostgresSharedTest, EmptyDatabaseGetsSchemaAndSeedOnce) {
  const std::string location = Fresh(test::PgScratchDatabase::Contents::kEmpty);
  {
    auto db = CZDLDatabase::Open(location);
    EXPECT_EQ("Device Profile", CTypeList(db->Session(), "TypeClass").GetStringRef(254));
    AddPartition(db->Session(), "Kept");
    CSoftkeyTemplateList templates(db->Session());
    templates.SelectByName("standard feature");
    ASSERT_EQ(1u, templates.Count());
    templates.Delete();
    templates.Update();
  }
  auto db = CZDLDatabase::Open(location);
  EXPECT_EQ(1u, CountPartitions(db->Session()));
  CSoftkeyTemplateList templates(db->Session());
  templates.SelectByName("Standard Feature");
  EXPECT_EQ(0u, templates.Count());
}

TEST_F(PostgresSharedTest, OlderSchemaIsUpgradedAndForeignOrNewerOnesRefused) {
  const std::string older = Fresh();
  AddPartition(CZDLDatabase::Open(older)->Session(), "Survivor");
  Admin(older,
        "DROP TABLE MGCPDeviceMember; DROP TABLE MGCPSlotConfig; DROP TABLE MGCP;"
        "ALTER TABLE RoutePartition DROP COLUMN Description; DELETE FROM TypeClass WHERE Enum = 254;"
        "DROP INDEX ux_NumPlan_PatternInPartitionAndFilter; CREATE UNIQUE INDEX ux_NumPlan_PatternInPartition ON "
        "NumPlan (DNOrPattern, COALESCE(CAST(fkRoutePartition AS TEXT), '')); UPDATE ZebSchema SET version = 1, "
        "fingerprint = 'older'");
  auto db = CZDLDatabase::Open(older);
  CRoutePartitionList list(db->Session());
  list.SelectByName("survivor");
  ASSERT_EQ(1u, list.Count());
  list.GetCurrentItem()->PutDescription("now possible");
  list.Update();
  CMGCPList gateways(db->Session());
  gateways.SelectAll();
  EXPECT_EQ(0u, gateways.Count());
  EXPECT_EQ("Device Profile", CTypeList(db->Session(), "TypeClass").GetStringRef(254));
  Admin(older, kPatternWithAndWithoutFilter);

  const std::string newer = Fresh();
  Admin(newer, "UPDATE ZebSchema SET version = version + 1");
  EXPECT_EQ(kZDLSchemaMismatch, ExceptionId([&] { CZDLDatabase::Open(newer); }));
  const std::string foreign = Fresh(test::PgScratchDatabase::Contents::kEmpty);
  Admin(foreign, "CREATE TABLE notes (text TEXT)");
  EXPECT_EQ(kZDLSchemaMismatch, ExceptionId([&] { CZDLDatabase::Open(foreign); }));
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] { CZDLDatabase::Open(test::PgLocationOf(server_, "zeb_t_missing")); }));
}

TEST_F(PostgresSharedTest, LostConnectionsAreMadeAgain) {
  const std::string location = Fresh();
  auto db = CZDLDatabase::Open(location);
  CZDLSession& session = db->Session();
  AddPartition(session, "Before");

  // Lost while idle: the next snapshot reconnects and its statements are prepared again.
  CutConnections(location);
  {
    CZDLReadScope snapshot(session);
    EXPECT_EQ(1u, CountPartitions(session));
  }
  AddPartition(session, "After");

  // Lost inside a transaction: that transaction fails, the next one works.
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] {
              CZDLTransaction transaction(session);
              CountPartitions(session);
              CutConnections(location);
              AddPartition(session, "Lost");
              transaction.Commit();
            }));
  EXPECT_EQ(2u, CountPartitions(session));

  // While the database refuses connections every request fails; then they work again.
  // (The harness makes database names of hex digits: they need no quoting.)
  const std::string name = scratch_.back()->name();
  Admin(server_, "ALTER DATABASE " + name + " ALLOW_CONNECTIONS false; SELECT pg_terminate_backend(pid, 10000) FROM "
                 "pg_stat_activity WHERE datname = '" + name + "'");
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] {
              CZDLReadScope snapshot(session);
              CountPartitions(session);
            }));
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] { CountPartitions(session); }));
  Admin(server_, "ALTER DATABASE " + name + " ALLOW_CONNECTIONS true");
  CZDLReadScope snapshot(session);
  EXPECT_EQ(2u, CountPartitions(session));
}

TEST_F(PostgresSharedTest, AConnectionLostInsideAPipelineFailsThatRequestOnly) {
  auto db = CZDLDatabase::Open(Fresh());
  CZDLSession& session = db->Session();
  AddPartition(session, "Kept");
  const auto refusal = [&] {
    try {
      CZDLReadScope snapshot(session);
      session.QueryAll({{"SELECT count(*) FROM RoutePartition", {}},
                        {"SELECT pg_terminate_backend(pg_backend_pid())", {}},
                        {"SELECT 1", {}}});
    } catch (const CZDLException& error) {
      return std::to_string(error.GetExceptionID()) + " " + error.GetExceptionStr().substr(0, 43);
    }
    return std::string("answered");
  }();
  EXPECT_EQ("7 The configuration database cannot be used: ", refusal);
  CZDLReadScope snapshot(session);
  EXPECT_EQ(1u, CountPartitions(session));
}

TEST_F(PostgresSharedTest, ATransactionWithAFailedStatementDoesNotCommitQuietly) {
  auto db = CZDLDatabase::Open(Fresh());
  CZDLSession& session = db->Session();
  EXPECT_EQ(kZDLGeneralError, ExceptionId([&] {
              CZDLTransaction transaction(session);
              AddPartition(session, "Written");
              EXPECT_EQ(kZDLDuplicate, ExceptionId([&] {
                          session.Execute("INSERT INTO RoutePartition (pkid, Name) VALUES (?, ?)",
                                          {CZDLID::New(), "written"});
                        }));
              transaction.Commit();
            }));
  EXPECT_EQ(0u, CountPartitions(session));
  AddPartition(session, "Later");
}

TEST_F(PostgresSharedTest, AnotherProcessesChangesDropTheCachesTheyConcern) {
  const std::string location = Fresh();
  auto node = CZDLDatabase::Open(location);
  auto other = CZDLDatabase::Open(location);
  PartitionCountingCache& cache = node->Cache<PartitionCountingCache>();
  // Connecting the listener counts as a gap: everything is dropped once.
  ASSERT_TRUE(Eventually([&] { return cache.drops == 1; }));

  // Own writes, and other tables' writes, leave the cache alone; the partition write then
  // arrives after them.
  AddPartition(node->Session(), "Mine");
  CRegionList regions(other->Session());
  regions.Insert()->PutName("Elsewhere");
  regions.Update();
  AddPartition(other->Session(), "Theirs");
  ASSERT_TRUE(Eventually([&] { return cache.drops >= 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(2, cache.drops);

  // Type tables are read again after another process changed one.
  EXPECT_EQ("", CTypeList(node->Session(), "TypeClass").GetStringRef(77));
  other->Session().Execute("INSERT INTO TypeClass (Enum, Name) VALUES (?, ?)", {77, "Test Class"});
  EXPECT_TRUE(Eventually([&] { return CTypeList(node->Session(), "TypeClass").GetStringRef(77) == "Test Class"; }));
}

TEST_F(PostgresSharedTest, ACachedPartitionRenamedElsewhereIsReadAnew) {
  const std::string location = Fresh();
  auto node = CZDLDatabase::Open(location);
  auto other = CZDLDatabase::Open(location);
  const CZDLID id = AddPartition(other->Session(), "Before");
  CXMLRoutePartitionCache& cache = node->Cache<CXMLRoutePartitionCache>();
  EXPECT_NE(std::string::npos, cache.Lookup(node->Session(), id).find("<name>Before</name>"));
  CRoutePartitionList list(other->Session());
  list.SelectByID(id);
  list.GetCurrentItem()->PutName("After");
  list.Update();
  EXPECT_TRUE(Eventually([&] {
    CZDLReadScope snapshot(node->Session());
    return cache.Lookup(node->Session(), id).find("<name>After</name>") != std::string::npos;
  }));
}

TEST_F(PostgresSharedTest, CachesFilledFromAnOlderSnapshotAreDroppedWhenItEnds) {
  const std::string location = Fresh();
  auto node = CZDLDatabase::Open(location);
  auto other = CZDLDatabase::Open(location);
  PartitionCountingCache& cache = node->Cache<PartitionCountingCache>();
  ASSERT_TRUE(Eventually([&] { return cache.drops == 1; }));
  CZDLSession& session = node->Session();
  {
    CZDLReadScope snapshot(session);
    EXPECT_EQ(0u, CountPartitions(session));
    AddPartition(other->Session(), "Meanwhile");
    ASSERT_TRUE(Eventually([&] { return cache.drops == 2; }));
    // Whatever this request caches now still comes from its snapshot.
    EXPECT_EQ(0u, CountPartitions(session));
  }
  EXPECT_EQ(3, cache.drops);
  {
    CZDLReadScope snapshot(session);
    EXPECT_EQ(1u, CountPartitions(session));
  }
  EXPECT_EQ(3, cache.drops);
}

}  // namespace
}  // namespace zeb::zdl
