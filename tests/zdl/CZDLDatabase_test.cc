// What only the embedded back end does with its file, and identifiers; the library's behaviour on
// both back ends is in PostgresLibrary_test.
#include "zdl/CZDLDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "support/TempDir.h"
#include "zdl/CZDLSession.h"
#include "zdl/ResponseCache.h"
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

// Runs sql on a connection of its own to the file, as another process would.
void RunElsewhere(const std::string& path, const char* sql) {
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &other));
  EXPECT_EQ(SQLITE_OK, sqlite3_exec(other, sql, nullptr, nullptr, nullptr)) << sql;
  sqlite3_close(other);
}

TEST(CZDLDatabaseTest, ForeignFilesAreRefused) {
  test::TempDir dir;
  RunElsewhere(dir / "other.db", "CREATE TABLE notes (text TEXT)");
  EXPECT_EQ(kZDLSchemaMismatch, ExceptionId([&] { CZDLDatabase::Open(dir / "other.db"); }));
  std::ofstream(dir / "text.db") << "these are not the bytes of a database file, but long enough to look at";
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] { CZDLDatabase::Open(dir / "text.db"); }));
  EXPECT_EQ(kZDLDatabaseUnavailable, ExceptionId([&] { CZDLDatabase::Open(dir / "missing/dir/zeb.db"); }));
}

// The file tells nothing of other writers' commits: a look at the snapshot finds them, and the
// kept answers go. A worker's first look cannot know what came before it, so it drops them too.
TEST(CZDLDatabaseTest, KeptAnswersGoOnceASnapshotShowsAnotherConnectionsCommit) {
  test::TempDir dir;
  std::unique_ptr<CZDLDatabase> db = CZDLDatabase::Open(dir / "zeb.db");
  db->KeepAnswersFor(std::chrono::minutes(1));
  ResponseCache* kept = db->responses();
  ASSERT_NE(nullptr, kept);
  CZDLSession& session = db->Session();
  std::string answer;
  const auto lookThenStore = [&] {
    const std::uint64_t generation = kept->Generation();
    CZDLReadScope snapshot(session);
    session.LookForOthersChanges();
    const bool found = kept->Find("key", "", &answer);
    kept->Store(generation, "key", "answer", "");
    return found;
  };
  EXPECT_FALSE(lookThenStore());
  lookThenStore();
  EXPECT_TRUE(lookThenStore());

  RunElsewhere(dir / "zeb.db", "CREATE TABLE Scratch (x)");
  EXPECT_FALSE(lookThenStore()) << "served across another connection's commit";

  // From its third look on, a worker compares the header of SQLite's shared wal-index with the
  // one it saw last instead of asking SQLite: every commit of another connection still shows,
  // also when the log has started over in between.
  for (int round = 0; round < 4; ++round) {
    lookThenStore();
    lookThenStore();
    ASSERT_TRUE(lookThenStore()) << round;
    RunElsewhere(dir / "zeb.db", round % 2 ? "INSERT INTO Scratch VALUES (1); PRAGMA wal_checkpoint(TRUNCATE)"
                                           : "INSERT INTO Scratch VALUES (1)");
    EXPECT_FALSE(lookThenStore()) << "served across another connection's commit in round " << round;
  }

  lookThenStore();
  ASSERT_TRUE(lookThenStore());
  {
    CZDLTransaction transaction(session);
    session.Execute("CREATE TABLE Own (x)");
    transaction.Commit();
  }
  EXPECT_FALSE(kept->Find("key", "", &answer)) << "kept across this process's own commit";
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
