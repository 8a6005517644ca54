#include "zdl/AuditLog.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/Partitions.h"
#include "support/TempDir.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {
namespace {

constexpr std::int64_t kHour = 3'600'000'000;

// Appends a row naming the first written record, as the server's hook does; can be told to fail.
class RecordingHook : public CommitHook {
 public:
  void BeforeCommit(CZDLSession& session, const TableDef& table, const CZDLValue& key) override {
    if (fail) throw CZDLException(kZDLGeneralError, "audit failed");
    AuditRow row;
    row.timeMicros = NowMicros();
    row.method = "test";
    row.recordTable = table.name;
    row.recordId = key.AsText();
    AppendAuditRow(session, row);
  }
  bool fail = false;
};

class AuditLogTest : public ::testing::Test {
 protected:
  AuditLogTest() : db_(CZDLDatabase::Open(dir_ / "zeb.db")), session_(db_->Session()) {}

  CZDLID AddPartition(const std::string& name) { return test::AddPartition(session_, name); }

  std::vector<AuditRow> Rows(const AuditFilter& filter = {}) {
    std::vector<AuditRow> rows;
    ReadAuditRows(session_, filter, [&rows](const AuditRow& row) { rows.push_back(row); });
    return rows;
  }

  void Append(std::int64_t time, const std::string& user, const std::string& method) {
    AuditRow row;
    row.timeMicros = time;
    row.user = user;
    row.method = method;
    AppendAuditRow(session_, row);
  }

  test::TempDir dir_;
  std::unique_ptr<CZDLDatabase> db_;
  CZDLSession& session_;
};

TEST_F(AuditLogTest, HookRowCommitsWithTheChangeOrNotAtAll) {
  RecordingHook hook;
  session_.SetCommitHook(&hook);
  const CZDLID id = AddPartition("P1");
  ASSERT_EQ(1u, Rows().size());
  EXPECT_EQ("RoutePartition", Rows()[0].recordTable);
  EXPECT_EQ(id.str(), Rows()[0].recordId);

  // Nested transactions: one row, at the outermost commit, naming the first row written.
  {
    CZDLTransaction outer(session_);
    const CZDLID second = AddPartition("P2");
    AddPartition("P3");
    EXPECT_EQ(1u, Rows().size());
    outer.Commit();
    EXPECT_EQ(second.str(), Rows().back().recordId);
  }
  EXPECT_EQ(2u, Rows().size());

  // Members written before their owner: the owner is the record changed.
  CCallingSearchSpaceList spaces(session_);
  auto space = spaces.Insert();
  space->PutName("C");
  spaces.Update();
  {
    CZDLTransaction transaction(session_);
    CCallingSearchSpaceMemberList members(session_);
    auto member = members.Insert();
    member->PutCallingSearchSpaceID(space->GetID());
    member->PutRoutePartitionID(id);
    members.Update();
    space->PutDescription("changed");
    spaces.Update();
    transaction.Commit();
  }
  EXPECT_EQ("CallingSearchSpace", Rows().back().recordTable);
  EXPECT_EQ(space->GetID().str(), Rows().back().recordId);
  ASSERT_EQ(4u, Rows().size());

  // A refused change leaves no row; a row that cannot be written undoes the change.
  EXPECT_THROW(AddPartition("p1"), CZDLException);
  hook.fail = true;
  EXPECT_THROW(AddPartition("P4"), CZDLException);
  hook.fail = false;
  session_.SetCommitHook(nullptr);
  CRoutePartitionList partitions(session_);
  partitions.SelectAll();
  EXPECT_EQ(3u, partitions.Count());
  EXPECT_EQ(4u, Rows().size());
}

// Rows are read in the order they were written, which is time order unless the clock went back.
TEST_F(AuditLogTest, ReadsInOrderAcrossPagesWithFiltersAndPrunesByAge) {
  {
    CZDLTransaction transaction(session_);
    for (int i = 0; i < 1200; ++i) Append(1000 + i / 2, i % 2 ? "bob" : "ann", i % 3 ? "addLine" : "removeLine");
    Append(50 * kHour, "ann", "addLine");
    Append(1200, "cid", "clockWentBack");
    transaction.Commit();
  }
  const std::vector<AuditRow> all = Rows();
  ASSERT_EQ(1202u, all.size());
  for (std::size_t i = 1; i < 1201; ++i) ASSERT_LE(all[i - 1].timeMicros, all[i].timeMicros);
  EXPECT_EQ("clockWentBack", all.back().method);

  AuditFilter filter;
  filter.user = "ann";
  filter.method = "removeLine";
  EXPECT_EQ(200u, Rows(filter).size());
  filter = {};
  filter.sinceMicros = 1500;  // the row of 1200 written last is not among them
  EXPECT_EQ(201u, Rows(filter).size());
  filter.sinceMicros = 1200;
  EXPECT_EQ(802u, Rows(filter).size());

  // Only rows older than the limit go; one written out of order may stay until its successors go.
  EXPECT_EQ(1200, PruneAuditRows(session_, kHour));
  ASSERT_EQ(2u, Rows().size());
  EXPECT_EQ(50 * kHour, Rows()[0].timeMicros);
  EXPECT_EQ(2, PruneAuditRows(session_, 51 * kHour));
}

TEST(AuditTime, ParsesDatesTimesOffsetsAndAges) {
  constexpr std::int64_t kNow = 1'715'000'000'000'000;
  EXPECT_EQ(1'715'040'000'000'000, ParseAuditTime("2024-05-07", kNow));
  EXPECT_EQ(1'715'074'200'000'000, ParseAuditTime("2024-05-07T09:30:00Z", kNow));
  EXPECT_EQ(1'715'074'200'250'000, ParseAuditTime("2024-05-07t09:30:00.25z", kNow));
  EXPECT_EQ(1'715'067'000'000'000, ParseAuditTime("2024-05-07T09:30+02:00", kNow));
  EXPECT_EQ(kNow - 7 * 24 * kHour, ParseAuditTime("7d", kNow));
  EXPECT_EQ(kNow - 90 * 60'000'000LL, ParseAuditTime("90m", kNow));
  for (const char* bad : {"", "7", "7w", "d", "2024-5-7", "2024-05-07T25:00Z", "2024-05-07T09:30:00.Z",
                          "2024-05-07T09:30:00+2", "yesterday", "2024-13-01"}) {
    EXPECT_EQ(std::nullopt, ParseAuditTime(bad, kNow)) << bad;
  }
}

TEST(AuditJson, EscapesEveryTextAndFormatsTheTimeInUtc) {
  AuditRow row;
  row.timeMicros = 1'715'074'200'000'042;
  row.node = "n:1";
  row.requestId = 7;
  row.user = "a\"b\\c";
  row.method = "addLine";
  row.request = "<a>\r\n\t\x01</a>";
  EXPECT_EQ(
      "{\"time\":\"2024-05-07T09:30:00.000042Z\",\"node\":\"n:1\",\"requestId\":7,\"user\":\"a\\\"b\\\\c\","
      "\"clientAddress\":\"\",\"method\":\"addLine\",\"recordTable\":\"\",\"recordId\":\"\","
      "\"request\":\"<a>\\r\\n\\t\\u0001</a>\"}",
      AuditRowJson(row));
}

}  // namespace
}  // namespace zeb::zdl
