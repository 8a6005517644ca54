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

// Schema upgrades and a newer schema are in PostgresLibrary_test, on both back ends.
TEST_F(PostgresSharedTest, EmptyDatabaseGetsTheSchemaForeignOrMissingOnesAreRefused) {
  auto db = CZDLDatabase::Open(Fresh(test::PgScratchDatabase::Contents::kEmpty));
  EXPECT_EQ("Device Profile", CTypeList(db->Session(), "TypeClass").GetStringRef(254));
  const std::string foreign = Fresh(test::PgScratchDatabase::Contents::kEmpty);
  Admin(foreign, "CREATE TABLE notes (text TEXT)");
  EXPECT_EQ(kZDLSchemaMismatch, ExceptionId([&] { CZDLDatabase::Open(foreign); }));
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] { CZDLDatabase::Open(test::PgLocationOf(server_, "zeb_t_missing")); }));
}

// A connection lost while idle, or a database refusing connections for a while, is shown by
// TwoNodes_e2e_test through real requests.
TEST_F(PostgresSharedTest, AConnectionLostInsideATransactionFailsItAndTheNextWorks) {
  const std::string location = Fresh();
  auto db = CZDLDatabase::Open(location);
  CZDLSession& session = db->Session();
  AddPartition(session, "Before");
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] {
              CZDLTransaction transaction(session);
              CountPartitions(session);
              CutConnections(location);
              AddPartition(session, "Lost");
              transaction.Commit();
            }));
  EXPECT_EQ(1u, CountPartitions(session));
  AddPartition(session, "After");
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

// Two handles on one database stand for two server processes.
TEST_F(PostgresSharedTest, AnotherProcessesChangesDropTheCachesTheyConcern) {
  const std::string location = Fresh();
  auto node = CZDLDatabase::Open(location);
  auto other = CZDLDatabase::Open(location);
  CZDLSession& session = node->Session();
  PartitionCountingCache& cache = node->Cache<PartitionCountingCache>();
  // Connecting the listener counts as a gap: everything is dropped once.
  ASSERT_TRUE(Eventually([&] { return cache.drops == 1; }));

  // Own writes, and other tables' writes, leave the cache alone; the partition write then
  // arrives after them.
  AddPartition(session, "Mine");
  CRegionList regions(other->Session());
  regions.Insert()->PutName("Elsewhere");
  regions.Update();
  const CZDLID id = AddPartition(other->Session(), "Theirs");
  ASSERT_TRUE(Eventually([&] { return cache.drops >= 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(2, cache.drops);

  // What a request caches inside its snapshot comes from that snapshot, and is dropped when the
  // snapshot ends if another process wrote meanwhile.
  {
    CZDLReadScope snapshot(session);
    EXPECT_EQ(2u, CountPartitions(session));
    AddPartition(other->Session(), "Meanwhile");
    ASSERT_TRUE(Eventually([&] { return cache.drops == 3; }));
    EXPECT_EQ(2u, CountPartitions(session));
  }
  EXPECT_EQ(4, cache.drops);
  {
    CZDLReadScope snapshot(session);
    EXPECT_EQ(3u, CountPartitions(session));
  }
  EXPECT_EQ(4, cache.drops);

  // The partition element cache and the type tables are read again after another process's change.
  CXMLRoutePartitionCache& partitions = node->Cache<CXMLRoutePartitionCache>();
  EXPECT_NE(std::string::npos, partitions.Lookup(session, id).find("<name>Theirs</name>"));
  CRoutePartitionList list(other->Session());
  list.SelectByID(id);
  list.GetCurrentItem()->PutName("Renamed");
  list.Update();
  EXPECT_TRUE(Eventually([&] {
    CZDLReadScope snapshot(session);
    return partitions.Lookup(session, id).find("<name>Renamed</name>") != std::string::npos;
  }));
  EXPECT_EQ("", CTypeList(session, "TypeClass").GetStringRef(77));
  other->Session().Execute("INSERT INTO TypeClass (Enum, Name) VALUES (?, ?)", {77, "Test Class"});
  EXPECT_TRUE(Eventually([&] { return CTypeList(session, "TypeClass").GetStringRef(77) == "Test Class"; }));
}

}  // namespace
}  // namespace zeb::zdl
