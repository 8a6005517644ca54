// The record library on the embedded back end and, when ZEB_TEST_PG (or ZEB_TEST_DB) names a
// PostgreSQL server, on a fresh PostgreSQL database: what requests do not show (bound names,
// ordering, value kinds, constraint failures of raw statements, schema upgrades, concurrent
// writers, snapshots and read-ahead), and what only a server does: living through lost
// connections, and dropping caches when another process changes the database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "builders/CXMLRoutePartition.h"
#include "e2e/ZebdProcess.h"
#include "support/BothBackEnds.h"
#include "support/Partitions.h"
#include "support/PgScratchDatabase.h"
#include "zdl/AuditLog.h"
#include "zdl/CFastAccess.h"
#include "zdl/CTypeList.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLReadAhead.h"
#include "zdl/ChangeEvents.h"
#include "zdl/Records.h"
#include "zdl/base/CZDLException.h"

namespace zeb::zdl {
namespace {

// The library exception's ID and text, or 0 when none was thrown.
std::pair<int, std::string> Refusal(const std::function<void()>& action) {
  try {
    action();
  } catch (const CZDLException& error) {
    return {error.GetExceptionID(), error.GetExceptionStr()};
  }
  return {0, ""};
}

using test::AddPartition;

std::vector<std::string> Names(CRoutePartitionList& list) {
  std::vector<std::string> names;
  for (list.MoveFirst(); !list.IsEOF(); list.MoveNext()) names.push_back(list.GetCurrentItem()->GetName());
  return names;
}

// A module cache that counts how often it was dropped; it depends on route partitions only.
class PartitionCountingCache : public ModuleCache {
 public:
  void Invalidate() override { ++drops; }
  bool DependsOn(const std::string& table) const override { return table == "routepartition"; }
  std::atomic<int> drops{0};
};

class BackEndTest : public test::OnBothBackEnds {
 protected:
  // Closes the library's handle and runs sql on a connection of its own, as another program would.
  void Raw(const std::string& sql) {
    db_.reset();
    if (!embedded()) {
      EXPECT_EQ("", test::PgRun(location_, sql)) << sql;
      return;
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(location_.c_str(), &db));
    char* error = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error)) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
  }

  std::size_t Count(const std::string& sql, const std::vector<CZDLValue>& values = {}) {
    return session().Query(sql, values).rows.size();
  }

  std::size_t CountPartitions() { return Count("SELECT * FROM RoutePartition"); }
  // The first column of the first row, as text.
  std::string Text(const std::string& sql, const std::vector<CZDLValue>& values = {}) {
    return session().Query(sql, values).rows.at(0).at(0).AsText();
  }
};

INSTANTIATE_TEST_SUITE_P(BothBackEnds, BackEndTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(BackEndTest, NamesAreBoundNeverInterpretedAndSortByTheirLowerCaseBytes) {
  CRoutePartitionList list(session());
  for (const char* name : {"O'Brien", "a_b", "x'; DROP TABLE RoutePartition; --"}) {
    AddPartition(session(), name);
    list.SelectByName(name);
    ASSERT_EQ(1u, list.Count()) << name;
    EXPECT_EQ(name, list.GetCurrentItem()->GetName());
  }
  // A name is no pattern.
  list.SelectByName("%");
  EXPECT_EQ(0u, list.Count());
  list.SelectByName("a%b");
  EXPECT_EQ(0u, list.Count());
  for (const char* name : {"b", "B2", "a", "_x", "Z", "10"}) AddPartition(session(), name);
  list.SelectWhere("Name <> ?", {""}, "Name");
  EXPECT_EQ((std::vector<std::string>{"10", "_x", "a", "a_b", "b", "B2", "O'Brien",
                                      "x'; DROP TABLE RoutePartition; --", "Z"}),
            Names(list));
}

TEST_P(BackEndTest, ValuesComeBackWithTheirKinds) {
  CFastAccess row(session(), "TypeClass");
  row.SelectCustom("SELECT count(*) AS n, MAX(Enum) AS top, (1 = 1) AS yes, Name FROM TypeClass WHERE Enum = ? GROUP BY Name",
                   {254});
  ASSERT_FALSE(row.IsEOF());
  EXPECT_EQ(CZDLValue(1), row.Get("n"));
  EXPECT_EQ(CZDLValue(254), row.Get("top"));
  EXPECT_EQ(CZDLValue(1), row.Get("yes"));
  EXPECT_EQ(CZDLValue("Device Profile"), row.Get("name"));
  // Text that is no number matches no integer instead of failing; numeric text matches.
  row.SelectCustom("SELECT Enum FROM TypeClass WHERE Enum = ?", {"not a number"});
  EXPECT_TRUE(row.IsEOF());
  row.SelectCustom("SELECT Enum FROM TypeClass WHERE Enum = ?", {"254"});
  EXPECT_FALSE(row.IsEOF());
  row.SelectCustom("SELECT Description FROM RoutePartition WHERE pkid = ?", {CZDLID::New()});
  EXPECT_TRUE(row.IsEOF());
}

TEST_P(BackEndTest, ConstraintFailuresBecomeLibraryExceptions) {
  const CZDLID used = AddPartition(session(), "Used");
  const std::string insert = "INSERT INTO RoutePartition (pkid, Name) VALUES (?, ?)";
  const std::string member =
      "INSERT INTO callingSearchSpaceMember (pkid, fkCallingSearchSpace, fkRoutePartition) VALUES (?, ?, ?)";
  struct Case {
    std::string sql;
    std::vector<CZDLValue> values;
    int id;
  } cases[] = {
      {insert, {CZDLID::New(), "USED"}, kZDLDuplicate},
      {insert, {CZDLID::New(), CZDLValue()}, kZDLRequiredValue},
      {member, {CZDLID::New(), CZDLID::New(), used}, kZDLStillReferenced},
      {"SELECT nothing FROM nowhere", {}, kZDLGeneralError},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.id, Refusal([&] { session().Execute(c.sql, c.values); }).first) << c.sql;
    // The failure leaves the session usable.
    CRoutePartitionList list(session());
    list.SelectByName("used");
    EXPECT_EQ(1u, list.Count());
  }
}

TEST_P(BackEndTest, TypeListsFindByExactNameAndAreReadAgainWhenDropped) {
  CTypeList models(session(), "TypeModel");
  ASSERT_TRUE(models.Find(std::string("Desk Phone 60")));
  EXPECT_EQ(9, models.GetEnum());
  EXPECT_EQ(6, models.GetColumn("NumButtons").AsInt());
  EXPECT_FALSE(models.Find(std::string("desk phone 60")));
  EXPECT_EQ("", models.GetStringRef(99999));
  session().Execute("DELETE FROM TypeFeature");
  db_->types().Invalidate();
  EXPECT_TRUE(CTypeList(session(), "TypeFeature").IsBOF());
  EXPECT_THROW(CTypeList(session(), "RoutePartition"), CZDLException);
}

TEST_P(BackEndTest, ReopeningKeepsDataAndDoesNotReseed) {
  AddPartition(session(), "Kept");
  CSoftkeyTemplateList templates(session());
  templates.SelectByName("standard feature");
  ASSERT_EQ(1u, templates.Count());
  templates.Delete();
  templates.Update();
  db_.reset();
  db_ = CZDLDatabase::Open(location_);
  EXPECT_EQ(1u, Count("SELECT * FROM RoutePartition WHERE Name = ?", {"Kept"}));
  EXPECT_EQ(0u, Count("SELECT * FROM SoftkeyTemplate WHERE Name = ?", {"Standard Feature"}));
}

// A look-up by any reference is an index search, not a read of the whole table: a partial
// index that the planner cannot prove covers "column = ?" would leave every such look-up a scan.
TEST_P(BackEndTest, EveryReferenceIsLookedUpThroughAnIndex) {
  if (!embedded()) session().Execute("SET enable_seqscan = off");
  for (const TableDef* table : AllTables()) {
    for (const ColumnDef& column : table->columns) {
      if (column.kind != ColKind::kRef) continue;
      const std::string select = "SELECT pkid FROM " + table->name + " WHERE " + column.name + " = ?";
      std::string plan;
      for (const auto& row : session().Query((embedded() ? "EXPLAIN QUERY PLAN " : "EXPLAIN ") + select,
                                             {CZDLID::New()}).rows) {
        plan += row.back().AsText() + "\n";
      }
      EXPECT_NE(std::string::npos, plan.find(embedded() ? "USING INDEX" : "Index")) << select << "\n" << plan;
    }
  }
  if (!embedded()) session().Execute("RESET enable_seqscan");
}

TEST_P(BackEndTest, OlderSchemaIsUpgradedInPlaceAndANewerOneRefused) {
  AddPartition(session(), "Survivor");
  // An older build: no MGCP tables, no Description column on partitions, fewer type rows,
  // numbers unique by pattern and partition alone, a calling search space without its clause.
  Raw("DROP TABLE MGCPDeviceMember; DROP TABLE MGCPSlotConfig; DROP TABLE MGCP;"
      "ALTER TABLE RoutePartition DROP COLUMN Description; DELETE FROM TypeClass WHERE Enum = 254;"
      "DROP INDEX ux_NumPlan_PatternInPartitionAndFilter;"
      "CREATE UNIQUE INDEX ux_NumPlan_PatternInPartition ON NumPlan (DNOrPattern, "
      "COALESCE(CAST(fkRoutePartition AS TEXT), ''));"
      "INSERT INTO CallingSearchSpace (pkid, Name) VALUES ('{C0000000-0000-0000-0000-000000000001}', "
      "'Front');"
      "INSERT INTO callingSearchSpaceMember (pkid, fkCallingSearchSpace, fkRoutePartition) SELECT "
      "'{C0000000-0000-0000-0000-000000000002}', '{C0000000-0000-0000-0000-000000000001}', pkid FROM "
      "RoutePartition; DROP TABLE AuditLog;"
      "CREATE TABLE AuditLog (pkid TEXT PRIMARY KEY NOT NULL, Time BIGINT NOT NULL DEFAULT 0, Node TEXT "
      "DEFAULT '', RequestID BIGINT DEFAULT 0, UserName TEXT DEFAULT '', ClientAddress TEXT DEFAULT '', "
      "Method TEXT DEFAULT '', RecordTable TEXT DEFAULT '', RecordID TEXT, Request TEXT DEFAULT '', Refusal "
      "TEXT DEFAULT '', ForwardedBy TEXT DEFAULT ''); CREATE INDEX ix_AuditLog_Time ON AuditLog (Time);"
      "INSERT INTO AuditLog (pkid, Time, Method) VALUES ('{A0000000-0000-0000-0000-000000000001}', 20000, "
      "'later');"
      "INSERT INTO AuditLog (pkid, Time, Method) VALUES ('{B0000000-0000-0000-0000-000000000001}', 10000, "
      "'earlier'); CREATE INDEX ix_AuditLog_RecordID ON AuditLog (RecordID); DROP TABLE ChangeEvent;"
      "CREATE TABLE ChangeEvent (pkid TEXT PRIMARY KEY NOT NULL, ID BIGINT NOT NULL DEFAULT 0, Time BIGINT "
      "NOT NULL DEFAULT 0, UserName TEXT DEFAULT '', Method TEXT DEFAULT '', Kind TEXT DEFAULT '', "
      "RecordTable TEXT DEFAULT '', RecordID TEXT, RecordName TEXT DEFAULT '');"
      "CREATE UNIQUE INDEX ux_ChangeEvent_ID ON ChangeEvent (ID);"
      "INSERT INTO ChangeEvent (pkid, ID, Time, Method) VALUES ('{E0000000-0000-0000-0000-000000000001}', 7, "
      "30000, 'addLine'); DROP INDEX ix_NumPlan_fkDialPlan;"
      "CREATE INDEX ix_NumPlan_fkDialPlan ON NumPlan (fkDialPlan); DROP INDEX ix_SpeedDial_fkDevice;"
      "CREATE INDEX ix_SpeedDial_fkDevice ON SpeedDial (fkDevice) WHERE fkDevice IS NOT NULL;"
      "UPDATE ZebSchema SET version = 1, fingerprint = 'older'");
  db_ = CZDLDatabase::Open(location_);
  const auto definition = [this](const std::string& index) {
    return Text(embedded() ? "SELECT sql FROM sqlite_master WHERE name = ?"
                           : "SELECT indexdef FROM pg_indexes WHERE indexname = lower(?)",
                {index});
  };
  // A reference's index leaves out the rows that refer to nothing, as on a new database; one
  // that is never unset is indexed whole.
  EXPECT_NE(std::string::npos, definition("ix_NumPlan_fkDialPlan").find("IS NOT NULL"))
      << definition("ix_NumPlan_fkDialPlan");
  EXPECT_EQ(std::string::npos, definition("ix_SpeedDial_fkDevice").find("IS NOT NULL"))
      << definition("ix_SpeedDial_fkDevice");
  // The audit log's rows, keyed again by their times: read and removed in time order.
  std::vector<std::string> methods;
  ReadAuditRows(session(), {}, [&methods](const AuditRow& row) { methods.push_back(row.method); });
  EXPECT_EQ((std::vector<std::string>{"earlier", "later"}), methods);
  EXPECT_EQ(1, PruneAuditRows(session(), 15000));
  // The change events, keyed again by their ids: read on from an id, and numbered on.
  EXPECT_EQ("0000000000000007", Text("SELECT pkid FROM ChangeEvent WHERE ID = 7"));
  EXPECT_EQ(8, AppendChangeEvent(session(), ChangeEvent{}));
  std::vector<std::int64_t> ids;
  ReadChangeEvents(session(), 6, 10, [&ids](const ChangeEvent& event) { ids.push_back(event.id); });
  EXPECT_EQ((std::vector<std::int64_t>{7, 8}), ids);
  // The dropped index of the audit log: creating it again succeeds only if it is gone.
  Raw("CREATE INDEX ix_AuditLog_RecordID ON AuditLog (RecordID); DROP INDEX ix_AuditLog_RecordID");
  db_ = CZDLDatabase::Open(location_);
  CRoutePartitionList list(session());
  list.SelectByName("survivor");
  ASSERT_EQ(1u, list.Count());
  list.GetCurrentItem()->PutDescription("now possible");
  list.Update();
  EXPECT_EQ(0u, Count("SELECT * FROM MGCP"));
  EXPECT_EQ("Device Profile", CTypeList(session(), "TypeClass").GetStringRef(254));
  EXPECT_EQ("Survivor", Text("SELECT Clause FROM CallingSearchSpace"));
  // Two numbers that share pattern and partition and differ in their route filter.
  session().ExecScript(
      "INSERT INTO RouteFilter (pkid, Name) VALUES ('{F0000000-0000-0000-0000-000000000001}', 'RF');"
      "INSERT INTO NumPlan (pkid, DNOrPattern) VALUES ('{F0000000-0000-0000-0000-000000000002}', '9.@');"
      "INSERT INTO NumPlan (pkid, DNOrPattern, fkRouteFilter) VALUES ('{F0000000-0000-0000-0000-000000000003}', "
      "'9.@', '{F0000000-0000-0000-0000-000000000001}')");

  Raw("UPDATE ZebSchema SET version = version + 1");
  EXPECT_EQ(kZDLSchemaMismatch, Refusal([&] { CZDLDatabase::Open(location_); }).first);
}

// Two handles on one database stand for two server processes: the same new name written
// through both at once gives one record and one duplicate fault with the library's text.
TEST_P(BackEndTest, ConcurrentWritersOfOneNameGetOneDuplicate) {
  auto other = CZDLDatabase::Open(location_);
  CZDLDatabase* handles[] = {db_.get(), other.get()};
  for (int round = 0; round < 10; ++round) {
    const std::string names[2] = {"Race" + std::to_string(round), "RACE" + std::to_string(round)};
    std::pair<int, std::string> results[2];
    std::atomic<int> ready{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < 2; ++i) {
      writers.emplace_back([&, i] {
        CZDLSession& session = handles[i]->Session();
        ++ready;
        while (ready < 2) std::this_thread::yield();
        results[i] = Refusal([&] { AddPartition(session, names[i]); });
      });
    }
    for (auto& writer : writers) writer.join();
    const int winner = results[0].first ? 1 : 0;
    const int loser = 1 - winner;
    ASSERT_EQ(0, results[winner].first) << round << ": " << results[winner].second;
    EXPECT_EQ(kZDLDuplicate, results[loser].first) << round;
    EXPECT_EQ("A Route Partition named \"" + names[loser] + "\" already exists.", results[loser].second);
  }
  CRoutePartitionList list(session());
  list.SelectWhere("Name LIKE ?", {"race%"});
  EXPECT_EQ(10u, list.Count());
}

// The embedded back end's own refusals are in CZDLDatabase_test.
TEST_P(BackEndTest, AnEmptyServerDatabaseGetsTheSchemaForeignOrMissingOnesAreRefused) {
  if (embedded()) GTEST_SKIP() << "a server's databases only";
  const test::PgScratchDatabase empty(server_, test::ZebdBuildStamp(), test::PgScratchDatabase::Contents::kEmpty);
  EXPECT_EQ("Device Profile", CTypeList(CZDLDatabase::Open(empty.location())->Session(), "TypeClass").GetStringRef(254));
  const test::PgScratchDatabase foreign(server_, test::ZebdBuildStamp(), test::PgScratchDatabase::Contents::kEmpty);
  EXPECT_EQ("", test::PgRun(foreign.location(), "CREATE TABLE notes (text TEXT)"));
  EXPECT_EQ(kZDLSchemaMismatch, Refusal([&] { CZDLDatabase::Open(foreign.location()); }).first);
  EXPECT_EQ(kZDLDatabaseUnavailable, Refusal([&] { CZDLDatabase::Open(test::PgLocationOf(server_, "zeb_t_missing")); }).first);
}

// A connection lost while idle, or a database refusing connections for a while, is shown by
// TwoNodes_e2e_test through real requests.
TEST_P(BackEndTest, AConnectionLostInsideATransactionFailsItAndTheNextWorks) {
  if (embedded()) GTEST_SKIP() << "a server's connections only";
  AddPartition(session(), "Before");
  EXPECT_EQ(kZDLDatabaseUnavailable, Refusal([&] {
              CZDLTransaction transaction(session());
              CountPartitions();
              EXPECT_EQ("", test::PgRun(location_, "SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity "
                                                   "WHERE datname = current_database() AND pid <> pg_backend_pid()"));
              AddPartition(session(), "Lost");
              transaction.Commit();
            }).first);
  EXPECT_EQ(1u, CountPartitions());
  AddPartition(session(), "After");
}

// A server aborts a transaction at its first failed statement; the embedded back end goes on.
TEST_P(BackEndTest, ATransactionWithAFailedStatementDoesNotCommitQuietly) {
  if (embedded()) GTEST_SKIP() << "a server's transactions only";
  EXPECT_EQ(kZDLGeneralError, Refusal([&] {
              CZDLTransaction transaction(session());
              AddPartition(session(), "Written");
              EXPECT_EQ(kZDLDuplicate, Refusal([&] {
                          session().Execute("INSERT INTO RoutePartition (pkid, Name) VALUES (?, ?)",
                                            {CZDLID::New(), "written"});
                        }).first);
              transaction.Commit();
            }).first);
  EXPECT_EQ(0u, CountPartitions());
  AddPartition(session(), "Later");
}

// A pipeline of reads that loses its connection fails that request only.
TEST_P(BackEndTest, AConnectionLostInsideAPipelineFailsThatRequestOnly) {
  if (embedded()) GTEST_SKIP() << "a server's connections only";
  AddPartition(session(), "Kept");
  const auto refusal = Refusal([&] {
    CZDLReadScope snapshot(session());
    session().QueryAll({{"SELECT count(*) FROM RoutePartition", {}},
                        {"SELECT pg_terminate_backend(pg_backend_pid())", {}},
                        {"SELECT 1", {}}});
  });
  EXPECT_EQ(kZDLDatabaseUnavailable, refusal.first);
  EXPECT_EQ(0u, refusal.second.find("The configuration database cannot be used: ")) << refusal.second;
  EXPECT_EQ(1u, CountPartitions());
}

// A batch read after another process changed a record shows the record as the request's first
// read found it: one snapshot, never a mix of the old and the new record.
TEST_P(BackEndTest, ABatchedReadSeesTheSnapshotOfTheFirstRead) {
  const CZDLID id = AddPartition(session(), "Old", "before");
  auto other = CZDLDatabase::Open(location_);
  CZDLReadScope snapshot(session());
  EXPECT_EQ(1u, CountPartitions());
  other->Session().Execute("UPDATE RoutePartition SET Name = ?, Description = ? WHERE pkid = ?", {"New", "after", id});
  CZDLReadAhead ahead(session());
  ahead.Add("SELECT Name FROM RoutePartition WHERE pkid = ?", {id});
  ahead.Add("SELECT Description FROM RoutePartition WHERE pkid = ?", {id});
  ahead.Run();
  EXPECT_EQ("Old", Text("SELECT Name FROM RoutePartition WHERE pkid = ?", {id}));
  EXPECT_EQ("before", Text("SELECT Description FROM RoutePartition WHERE pkid = ?", {id}));
}

// Two handles on one database stand for two server processes.
TEST_P(BackEndTest, AnotherProcessesChangesDropTheCachesTheyConcern) {
  if (embedded()) GTEST_SKIP() << "one process per embedded database";
  auto other = CZDLDatabase::Open(location_);
  CZDLSession& session = db_->Session();
  PartitionCountingCache& cache = db_->Cache<PartitionCountingCache>();
  // Connecting the listener counts as a gap: everything is dropped once.
  ASSERT_TRUE(test::Eventually([&] { return cache.drops == 1; }));

  // Own writes, and other tables' writes, leave the cache alone; the partition write then
  // arrives after them.
  AddPartition(session, "Mine");
  CRegionList regions(other->Session());
  regions.Insert()->PutName("Elsewhere");
  regions.Update();
  const CZDLID id = AddPartition(other->Session(), "Theirs");
  ASSERT_TRUE(test::Eventually([&] { return cache.drops >= 2; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(2, cache.drops);

  // What a request caches inside its snapshot comes from that snapshot, and is dropped when the
  // snapshot ends if another process wrote meanwhile.
  {
    CZDLReadScope snapshot(session);
    EXPECT_EQ(2u, CountPartitions());
    AddPartition(other->Session(), "Meanwhile");
    ASSERT_TRUE(test::Eventually([&] { return cache.drops == 3; }));
    EXPECT_EQ(2u, CountPartitions());
  }
  EXPECT_EQ(4, cache.drops);
  {
    CZDLReadScope snapshot(session);
    EXPECT_EQ(3u, CountPartitions());
  }
  EXPECT_EQ(4, cache.drops);

  // The partition element cache and the type tables are read again after another process's change.
  CXMLRoutePartitionCache& partitions = db_->Cache<CXMLRoutePartitionCache>();
  EXPECT_NE(std::string::npos, partitions.Lookup(session, id).find("<name>Theirs</name>"));
  CRoutePartitionList list(other->Session());
  list.SelectByID(id);
  list.GetCurrentItem()->PutName("Renamed");
  list.Update();
  EXPECT_TRUE(test::Eventually([&] {
    CZDLReadScope snapshot(session);
    return partitions.Lookup(session, id).find("<name>Renamed</name>") != std::string::npos;
  }));
  EXPECT_EQ("", CTypeList(session, "TypeClass").GetStringRef(77));
  other->Session().Execute("INSERT INTO TypeClass (Enum, Name) VALUES (?, ?)", {77, "Test Class"});
  EXPECT_TRUE(test::Eventually([&] { return CTypeList(session, "TypeClass").GetStringRef(77) == "Test Class"; }));
}

// A request that fills the partition cache from a snapshot older than a rename this process
// committed (and noted) drops the caches when its snapshot ends, so the old name does not stay.
TEST_P(BackEndTest, ACacheEntryFilledFromASnapshotOlderThanItsChangeDoesNotOutliveIt) {
  const CZDLID id = AddPartition(session(), "Old");
  CXMLRoutePartitionCache& partitions = db_->Cache<CXMLRoutePartitionCache>();
  {
    CZDLReadScope snapshot(session());
    EXPECT_EQ(1u, CountPartitions());
    std::thread([&] {
      CRoutePartitionList list(db_->Session());
      list.SelectByID(id);
      list.GetCurrentItem()->PutName("New");
      list.Update();
      partitions.Drop(id);
      db_->NoteDroppedAfterCommit();
    }).join();
    EXPECT_NE(std::string::npos, partitions.Lookup(session(), id).find("<name>Old</name>"));
  }
  CZDLReadScope snapshot(session());
  EXPECT_NE(std::string::npos, partitions.Lookup(session(), id).find("<name>New</name>"));
}

TEST_P(BackEndTest, ReadAheadAnswersCoveredKeysAndLeavesTheRestToTheDatabase) {
  const CZDLID a = AddPartition(session(), "A", "first");
  const CZDLID b = AddPartition(session(), "B", "second");
  const CZDLID none = CZDLID::New();
  const std::string byId = "SELECT Name, Description FROM RoutePartition WHERE pkid = ?";
  const std::string byName = "SELECT Description FROM RoutePartition WHERE Name = ? OR Name = ?";
  CZDLReadScope snapshot(session());
  CZDLReadAhead ahead(session());
  ahead.Add(byId, {a, none}, "SELECT Name, Description, pkid FROM RoutePartition ORDER BY Name", {});
  ahead.Add(byName, {"B", "C"});
  const std::uint64_t before = session().statementsRun();
  ahead.Run();
  EXPECT_EQ(before + 2, session().statementsRun());

  const ResultSet first = session().Query(byId, {a});
  ASSERT_EQ(1u, first.rows.size());
  EXPECT_EQ(2u, first.columns.size());  // without the key column
  EXPECT_EQ("first", first.rows[0][first.Column("description")].AsText());
  EXPECT_TRUE(session().Query(byId, {none}).rows.empty());  // covered, without rows
  EXPECT_EQ("second", session().Query(byName, {"B", "C"}).rows.at(0).at(0).AsText());
  EXPECT_EQ(before + 2, session().statementsRun());
  // Keys and values it did not cover go to the database.
  EXPECT_EQ("B", session().Query(byId, {b}).rows.at(0).at(0).AsText());
  EXPECT_EQ(1u, session().Query(byName, {"B", CZDLValue()}).rows.size());
  EXPECT_EQ(before + 4, session().statementsRun());
}

// Keys learnt from the batches themselves: a record found by name, its rows read by the name.
TEST_P(BackEndTest, ReadAheadCoversKeysFoundLaterAndAnswersEachKeyOnce) {
  const CZDLID a = AddPartition(session(), "A", "first");
  const CZDLID b = AddPartition(session(), "B", "second");
  const std::string byId = "SELECT Description FROM RoutePartition WHERE pkid = ?";
  const std::string rows = "SELECT Name FROM RoutePartition WHERE pkid = ? AND Description = 'none'";
  CZDLReadScope snapshot(session());
  CZDLReadAhead ahead(session());
  ahead.Add(byId, "SELECT Description, pkid FROM RoutePartition WHERE Name = ?", {"A"});
  ahead.Add(byId, "SELECT Description, pkid FROM RoutePartition", {});  // a second batch of the same statement
  ahead.Add(rows, "SELECT Name, pkid FROM RoutePartition WHERE Description = 'none' AND Name = ?", {"A"});
  ahead.Run();
  ahead.Cover(rows, a);
  const std::uint64_t before = session().statementsRun();
  EXPECT_EQ(1u, session().Query(byId, {a}).rows.size());  // not twice
  EXPECT_EQ("second", session().Query(byId, {b}).rows.at(0).at(0).AsText());
  EXPECT_TRUE(session().Query(rows, {a}).rows.empty());
  EXPECT_EQ(before, session().statementsRun());
  EXPECT_TRUE(session().Query(rows, {b}).rows.empty());  // not covered: read
  EXPECT_EQ(before + 1, session().statementsRun());
}

}  // namespace
}  // namespace zeb::zdl
