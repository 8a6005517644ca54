// The library behaviours that differ most between back ends, run on the embedded one and, when
// ZEB_TEST_PG (or ZEB_TEST_DB) names a PostgreSQL server, on a fresh PostgreSQL database: name
// matching and ordering, LIKE, value types, constraint failures, and concurrent writers.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "e2e/ZebdProcess.h"
#include "support/PgScratchDatabase.h"
#include "support/TempDir.h"
#include "zdl/CFastAccess.h"
#include "zdl/CTypeList.h"
#include "zdl/CZDLReadAhead.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLException.h"
#include "zdl/Records.h"

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

CZDLID AddPartition(CZDLSession& session, const std::string& name, const std::string& description = "") {
  CRoutePartitionList list(session);
  auto partition = list.Insert();
  partition->PutName(name);
  partition->PutDescription(description);
  list.Update();
  return partition->GetID();
}

std::vector<std::string> Names(CRoutePartitionList& list) {
  std::vector<std::string> names;
  for (list.MoveFirst(); !list.IsEOF(); list.MoveNext()) names.push_back(list.GetCurrentItem()->GetName());
  return names;
}

class BackEndTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::string(GetParam()) == "sqlite") {
      location_ = dir_ / "zeb.db";
    } else {
      const std::string server = test::PgScratchDatabase::ServerForTests();
      if (server.empty()) GTEST_SKIP() << "no PostgreSQL server: set ZEB_TEST_PG (see tests/pg/cluster.sh)";
      scratch_ = std::make_unique<test::PgScratchDatabase>(server, test::ZebdBuildStamp());
      location_ = scratch_->location();
    }
    db_ = CZDLDatabase::Open(location_);
  }

  CZDLSession& session() { return db_->Session(); }

  test::TempDir dir_;
  std::unique_ptr<test::PgScratchDatabase> scratch_;
  std::string location_;
  std::unique_ptr<CZDLDatabase> db_;
};

INSTANTIATE_TEST_SUITE_P(BothBackEnds, BackEndTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(BackEndTest, NamesAreUniqueAndFoundWithoutRegardToCase) {
  AddPartition(session(), "Internal");
  EXPECT_EQ(std::make_pair(static_cast<int>(kZDLDuplicate), std::string("A Route Partition named \"INTERNAL\" already exists.")),
            Refusal([&] { AddPartition(session(), "INTERNAL"); }));
  CRoutePartitionList list(session());
  list.SelectByName("iNtErNaL");
  ASSERT_EQ(1u, list.Count());
  EXPECT_EQ("Internal", list.GetCurrentItem()->GetName());
}

TEST_P(BackEndTest, LikeIgnoresCaseAndHasNoEscapeCharacter) {
  AddPartition(session(), "Lobby-1", "Ground Floor");
  AddPartition(session(), "lobby_2", "first floor");
  AddPartition(session(), "back\\office", "");
  struct Case {
    const char* where;
    const char* pattern;
    std::vector<std::string> names;
  } cases[] = {
      {"Name LIKE ?", "LOBBY%", {"Lobby-1", "lobby_2"}},
      {"Description LIKE ?", "%FLOOR", {"Lobby-1", "lobby_2"}},
      {"Name LIKE ?", "lobby_2", {"lobby_2"}},
      {"Name LIKE ?", "back\\office", {"back\\office"}},
      {"Name NOT LIKE ?", "%o%", {}},
  };
  for (const Case& c : cases) {
    CRoutePartitionList list(session());
    list.SelectWhere(c.where, {c.pattern}, "Name");
    EXPECT_EQ(c.names, Names(list)) << c.where << " " << c.pattern;
  }
}

TEST_P(BackEndTest, NamesSortByTheirLowerCaseBytes) {
  for (const char* name : {"b", "B2", "a", "_x", "Z", "10"}) AddPartition(session(), name);
  CRoutePartitionList list(session());
  list.SelectWhere("Name <> ?", {""}, "Name");
  EXPECT_EQ((std::vector<std::string>{"10", "_x", "a", "b", "B2", "Z"}), Names(list));
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
  EXPECT_EQ(kZDLDuplicate, Refusal([&] {
              CZDLTransaction transaction(session());
              session().Execute(insert, {CZDLID::New(), "used"});
              transaction.Commit();
            }).first);
  AddPartition(session(), "After");
}

// Two handles on one database stand for two server processes: the same new name written
// through both at once gives one record and one duplicate fault with the library's text.
TEST_P(BackEndTest, ConcurrentWritersOfOneNameGetOneDuplicate) {
  auto other = CZDLDatabase::Open(location_);
  CZDLDatabase* handles[] = {db_.get(), other.get()};
  for (int round = 0; round < 10; ++round) {
    const std::string name = "Race" + std::to_string(round);
    std::pair<int, std::string> results[2];
    std::atomic<int> ready{0};
    std::vector<std::thread> writers;
    for (int i = 0; i < 2; ++i) {
      writers.emplace_back([&, i] {
        CZDLSession& session = handles[i]->Session();
        ++ready;
        while (ready < 2) std::this_thread::yield();
        results[i] = Refusal([&] { AddPartition(session, i == 0 ? name : "RACE" + std::to_string(round)); });
      });
    }
    for (auto& writer : writers) writer.join();
    const int winner = results[0].first ? 1 : 0;
    const int loser = 1 - winner;
    ASSERT_EQ(0, results[winner].first) << round << ": " << results[winner].second;
    EXPECT_EQ(kZDLDuplicate, results[loser].first) << round;
    const std::string lost = loser == 0 ? name : "RACE" + std::to_string(round);
    EXPECT_EQ("A Route Partition named \"" + lost + "\" already exists.", results[loser].second);
  }
  CRoutePartitionList list(session());
  list.SelectWhere("Name LIKE ?", {"race%"});
  EXPECT_EQ(10u, list.Count());
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

}  // namespace
}  // namespace zeb::zdl
