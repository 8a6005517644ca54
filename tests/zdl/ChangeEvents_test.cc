// The change events on both back ends: numbered in commit order without gaps, written only with
// a committed change, read after an id, pruned by age without losing the numbering.
#include "zdl/ChangeEvents.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "e2e/ZebdProcess.h"
#include "support/PgScratchDatabase.h"
#include "support/TempDir.h"
#include "zdl/AuditLog.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"
#include "zdl/base/CZDLException.h"

namespace zeb::zdl {
namespace {

constexpr std::int64_t kHour = 3'600'000'000;

// Appends an event for the first written record, as the server's hook does.
class EventHook : public CommitHook {
 public:
  void BeforeCommit(CZDLSession& session, const TableDef& table, const CZDLValue& key) override {
    ChangeEvent event;
    event.timeMicros = NowMicros();
    event.user = "ann";
    event.method = "addRoutePartition";
    event.kind = ChangeEventKind(event.method);
    event.recordTable = table.name;
    event.recordId = key.AsText();
    event.recordName = "P";
    AppendChangeEvent(session, event);
  }
};

class ChangeEventsTest : public ::testing::TestWithParam<const char*> {
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

  CZDLID AddPartition(CZDLSession& session, const std::string& name) {
    CRoutePartitionList list(session);
    auto partition = list.Insert();
    partition->PutName(name);
    list.Update();
    return partition->GetID();
  }

  std::vector<ChangeEvent> Events() {
    std::vector<ChangeEvent> events;
    ReadChangeEvents(db_->Session(), 0, 1000, [&events](const ChangeEvent& e) { events.push_back(e); });
    return events;
  }

  void AppendAt(std::int64_t time) {
    CZDLTransaction transaction(db_->Session());
    ChangeEvent event;
    event.timeMicros = time;
    AppendChangeEvent(db_->Session(), event);
    transaction.Commit();
  }

  test::TempDir dir_;
  std::unique_ptr<test::PgScratchDatabase> scratch_;
  std::string location_;
  std::unique_ptr<CZDLDatabase> db_;
};

INSTANTIATE_TEST_SUITE_P(BothBackEnds, ChangeEventsTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(ChangeEventsTest, OneEventPerCommittedChangeNumberedWithoutGaps) {
  EventHook hook;
  CZDLSession& session = db_->Session();
  session.SetCommitHook(&hook);
  const CZDLID first = AddPartition(session, "P1");
  {
    CZDLTransaction rolledBack(session);
    AddPartition(session, "P2");
  }
  EXPECT_THROW(AddPartition(session, "p1"), CZDLException);  // a duplicate: refused, no event
  const CZDLID third = AddPartition(session, "P3");
  session.SetCommitHook(nullptr);

  const std::vector<ChangeEvent> events = Events();
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ(1, events[0].id);
  EXPECT_EQ(first.str(), events[0].recordId);
  EXPECT_EQ(2, events[1].id);
  EXPECT_EQ(third.str(), events[1].recordId);
  EXPECT_EQ("ann", events[1].user);
  EXPECT_EQ("addRoutePartition", events[1].method);
  EXPECT_EQ("add", events[1].kind);
  EXPECT_EQ("RoutePartition", events[1].recordTable);
  EXPECT_EQ("P", events[1].recordName);
  EXPECT_EQ(1, OldestChangeEventId(session));
  EXPECT_EQ(2, NewestChangeEventId(session));
}

TEST_P(ChangeEventsTest, PruneKeepsTheNewestSoNumberingGoesOn) {
  EXPECT_EQ(0, OldestChangeEventId(db_->Session()));
  const std::int64_t now = NowMicros();
  AppendAt(now - 3 * kHour);
  AppendAt(now - 2 * kHour);
  AppendAt(now - 1 * kHour);
  EXPECT_EQ(2, PruneChangeEvents(db_->Session(), now));
  EXPECT_EQ(3, OldestChangeEventId(db_->Session()));
  AppendAt(now);
  EXPECT_EQ(4, NewestChangeEventId(db_->Session()));
  EXPECT_EQ(0, PruneChangeEvents(db_->Session(), now - kHour));
}

TEST_P(ChangeEventsTest, ConcurrentWritersGetDistinctIdsWithoutGaps) {
  constexpr int kThreads = 4, kEach = 20;
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([this, &failures] {
      try {
        for (int i = 0; i < kEach; ++i) AppendAt(NowMicros());
      } catch (const std::exception&) {
        ++failures;
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  EXPECT_EQ(0, failures.load());
  const std::vector<ChangeEvent> events = Events();
  ASSERT_EQ(static_cast<std::size_t>(kThreads * kEach), events.size());
  for (std::size_t i = 0; i < events.size(); ++i) EXPECT_EQ(static_cast<std::int64_t>(i + 1), events[i].id);
}

TEST(ChangeEventKindTest, TheVerbOfTheMethod) {
  for (const auto& [method, kind] : {std::pair{"addLine", "add"},
                                     {"updatePhone", "update"},
                                     {"removeRoutePartition", "remove"},
                                     {"doDeviceLogin", "do"},
                                     {"createAutogeneratedProfile", "add"}}) {
    EXPECT_EQ(kind, ChangeEventKind(method)) << method;
  }
}

}  // namespace
}  // namespace zeb::zdl
