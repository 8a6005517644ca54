// `zebd copy`: an embedded database copied into an empty one, embedded or (when ZEB_TEST_PG
// names a server) PostgreSQL, row for row.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "e2e/ZebdProcess.h"
#include "support/PgScratchDatabase.h"
#include "support/TempDir.h"
#include "zdl/AuditLog.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {
namespace {

// Every row of every table in declared column order, so that both back ends print alike.
std::string Dump(const std::string& location) {
  auto db = CZDLDatabase::Open(location);
  std::string text;
  for (const TableDef* table : AllTables()) {
    const ResultSet result = db->Session().Query("SELECT * FROM " + table->name);
    std::vector<std::string> rows;
    for (const auto& row : result.rows) {
      std::string line;
      for (const ColumnDef& column : table->columns) {
        const CZDLValue& value = row.at(result.Column(column.name));
        line += value.IsNull() ? "NULL|" : value.AsText() + "|";
      }
      rows.push_back(line);
    }
    std::sort(rows.begin(), rows.end());
    text += "[" + table->name + "]\n";
    for (const std::string& row : rows) text += row + "\n";
  }
  return text;
}

// A database with records of several kinds (a quote in a name), a device that refers to a
// device stored after it, and a seeded record removed (the copy must not bring it back).
void Fill(const std::string& location) {
  auto db = CZDLDatabase::Open(location);
  CZDLSession& session = db->Session();
  session.ExecScript(
      "INSERT INTO RoutePartition (pkid, Name) VALUES ('{C0000000-0000-0000-0000-000000000001}', 'Lobby''s \"best\"');"
      "INSERT INTO CallingSearchSpace (pkid, Name) VALUES ('{C0000000-0000-0000-0000-000000000002}', 'Everyone');"
      "INSERT INTO callingSearchSpaceMember (pkid, fkCallingSearchSpace, fkRoutePartition) VALUES "
      "('{C0000000-0000-0000-0000-000000000003}', '{C0000000-0000-0000-0000-000000000002}', "
      "'{C0000000-0000-0000-0000-000000000001}');"
      "DELETE FROM SoftkeyTemplate WHERE Name = 'Standard Feature'");
  // The phone is written before the profile it comes to refer to.
  CDeviceList devices(session);
  auto phone = devices.Insert();
  phone->PutName("SEP000000000001");
  devices.Update();
  auto profile = devices.Insert();
  profile->PutName("Profile");
  devices.Update();
  phone->PutDeviceDefaultProfileID(profile->GetID());
  devices.Update();
  // Audit rows, the last two written after the clock went back.
  for (const std::int64_t time : {3000, 1000, 2000}) {
    CZDLTransaction transaction(session);
    AuditRow row;
    row.timeMicros = time;
    row.method = "m" + std::to_string(time);
    AppendAuditRow(session, row);
    transaction.Commit();
  }
}

// The methods of the audit rows at or after since, in the order they are read.
std::string AuditMethods(const std::string& location, std::int64_t since) {
  auto db = CZDLDatabase::Open(location);
  AuditFilter filter;
  filter.sinceMicros = since;
  std::string methods;
  ReadAuditRows(db->Session(), filter, [&methods](const AuditRow& row) { methods += row.method + " "; });
  return methods;
}

class CopyTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    source_ = dir_ / "source.db";
    Fill(source_);
    if (std::string(GetParam()) == "sqlite") {
      target_ = dir_ / "target.db";
      return;
    }
    const std::string server = test::PgScratchDatabase::ServerForTests();
    if (server.empty()) GTEST_SKIP() << "no PostgreSQL server: set ZEB_TEST_PG (see tests/pg/cluster.sh)";
    scratch_ = std::make_unique<test::PgScratchDatabase>(server, "", test::PgScratchDatabase::Contents::kEmpty);
    target_ = scratch_->location();
  }

  test::CommandResult Copy(const std::string& from, const std::string& to) {
    return test::RunZebd({"copy", "--from", from, "--to", to}, std::chrono::seconds(60));
  }

  test::TempDir dir_;
  std::string source_;
  std::string target_;
  std::unique_ptr<test::PgScratchDatabase> scratch_;
};

INSTANTIATE_TEST_SUITE_P(ToEitherBackEnd, CopyTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(CopyTest, EveryRowArrivesOnceAndOnlyAnEmptyTargetIsFilled) {
  const test::CommandResult result = Copy(source_, target_);
  ASSERT_EQ(0, result.exitCode) << result.err;
  // Table names in 34 columns, then both counts in 10 columns each.
  const std::string devices = "\nDevice" + std::string(28 + 9, ' ') + "2" + std::string(9, ' ') + "2\n";
  EXPECT_NE(std::string::npos, result.out.find(devices)) << result.out;
  EXPECT_NE(std::string::npos, result.out.find(" tables, every count matches\n")) << result.out;
  const std::string copied = Dump(target_);
  EXPECT_EQ(Dump(source_), copied);
  // The copied audit log is read in time order, and by time.
  EXPECT_EQ("m1000 m2000 m3000 ", AuditMethods(target_, 0));
  EXPECT_EQ("m2000 m3000 ", AuditMethods(target_, 1500));

  const test::CommandResult again = Copy(source_, target_);
  EXPECT_EQ(1, again.exitCode);
  EXPECT_NE(std::string::npos, again.err.find(" is not empty.")) << again.err;
  EXPECT_EQ(copied, Dump(target_));
  const test::CommandResult missing = Copy(dir_ / "missing.db", dir_ / "other.db");
  EXPECT_EQ(1, missing.exitCode);
  EXPECT_EQ("zebd copy: There is no configuration database " + (dir_ / "missing.db") + ".\n", missing.err);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"copy", "--from", source_},
                                            {"copy", "--into", "x", "--to", "y"},
                                            {"copy", "--from", source_, "--to", "y", "--to", "z"}}) {
    const test::CommandResult usage = test::RunZebd(args);
    EXPECT_EQ(2, usage.exitCode) << args.size();
    EXPECT_EQ(0u, usage.err.find("usage: zebd copy --from LOCATION --to LOCATION\n")) << usage.err;
  }
}

}  // namespace
}  // namespace zeb::zdl
