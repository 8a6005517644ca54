// The layer that gathers a commit's writes to the write-ahead log. A counting layer beneath it
// (the default one while a test runs) sees what reaches the file system, and can fail writes.
#include "zdl/sqlite/LogWriteBatch.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace zeb::zdl {
namespace {

struct CountingVfs {
  static CountingVfs& Get() {
    static CountingVfs counting;
    return counting;
  }
  std::atomic<long> logWrites{0};
  std::atomic<bool> failLogWrites{false};
  sqlite3_vfs* base;
  sqlite3_vfs vfs;

 private:
  CountingVfs() : base(sqlite3_vfs_find(nullptr)), vfs(*base) {
    vfs.zName = "counting";
    vfs.szOsFile = base->szOsFile + static_cast<int>(sizeof(Extra));
    vfs.xOpen = &Open;
  }
  struct Extra {
    const sqlite3_io_methods* base;
    bool log;
  };
  static Extra& ExtraOf(sqlite3_file* file) {
    return *reinterpret_cast<Extra*>(reinterpret_cast<char*>(file) + Get().base->szOsFile);
  }
  static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    CountingVfs& counting = Get();
    const int rc = counting.base->xOpen(counting.base, name, file, flags, outFlags);
    if (rc != SQLITE_OK || !file->pMethods) return rc;
    ExtraOf(file) = {file->pMethods, (flags & SQLITE_OPEN_WAL) != 0};
    std::lock_guard<std::mutex> lock(counting.mutex_);
    auto made = counting.methods_.emplace(file->pMethods, *file->pMethods);
    made.first->second.xWrite = &Write;
    file->pMethods = &made.first->second;
    return rc;
  }
  static int Write(sqlite3_file* file, const void* data, int size, sqlite3_int64 offset) {
    if (ExtraOf(file).log) {
      if (Get().failLogWrites) return SQLITE_IOERR_WRITE;
      ++Get().logWrites;
    }
    return ExtraOf(file).base->xWrite(file, data, size, offset);
  }
  std::mutex mutex_;
  std::map<const sqlite3_io_methods*, sqlite3_io_methods> methods_;
};

class LogWriteBatchTest : public ::testing::Test {
 protected:
  LogWriteBatchTest() : counting_(CountingVfs::Get()) {
    sqlite3_vfs_register(&counting_.vfs, 1);
    const std::string path = dir_ / "batch.db";
    EXPECT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &writer_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                         LogWriteBatchVfs()));
    // A small page cache: a large transaction spills pages into the log before its commit and
    // reads them back.
    Exec(writer_,
         "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA cache_size = 20;"
         "CREATE TABLE t (k INTEGER PRIMARY KEY, v BLOB)");
    EXPECT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &reader_, SQLITE_OPEN_READONLY, nullptr));
  }
  ~LogWriteBatchTest() override {
    sqlite3_close(reader_);
    sqlite3_close(writer_);
    sqlite3_vfs_register(counting_.base, 1);
  }
  static void Exec(sqlite3* db, const char* sql) { ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, sql, nullptr, nullptr, nullptr)) << sql; }
  static std::string Blob(int key, std::size_t size) {
    std::string blob(size, '\0');
    for (std::size_t i = 0; i < size; ++i) blob[i] = static_cast<char>((i * 131 + static_cast<std::size_t>(key)) % 251);
    return blob;
  }
  // Inserts a row of size bytes in a transaction of its own; returns the commit's result.
  int Insert(int key, std::size_t size) {
    sqlite3_exec(writer_, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(writer_, "INSERT INTO t VALUES (?, ?)", -1, &insert, nullptr);
    const std::string blob = Blob(key, size);
    sqlite3_bind_int(insert, 1, key);
    sqlite3_bind_blob(insert, 2, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    const int stepped = sqlite3_step(insert);
    sqlite3_finalize(insert);
    const int committed = sqlite3_exec(writer_, "COMMIT", nullptr, nullptr, nullptr);
    if (stepped != SQLITE_DONE || committed != SQLITE_OK) {
      sqlite3_exec(writer_, "ROLLBACK", nullptr, nullptr, nullptr);
      return stepped != SQLITE_DONE ? stepped : committed;
    }
    return SQLITE_OK;
  }
  // What another connection reads: the keys, each checked against the bytes written for it.
  std::vector<int> ReadBack() {
    std::vector<int> keys;
    sqlite3_stmt* select = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(reader_, "SELECT k, v FROM t ORDER BY k", -1, &select, nullptr));
    int rc;
    while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
      const int key = sqlite3_column_int(select, 0);
      const auto* data = static_cast<const char*>(sqlite3_column_blob(select, 1));
      const std::string value(data ? data : "", static_cast<std::size_t>(sqlite3_column_bytes(select, 1)));
      EXPECT_EQ(Blob(key, value.size()), value) << "row " << key;
      keys.push_back(key);
    }
    EXPECT_EQ(SQLITE_DONE, rc) << sqlite3_errmsg(reader_);
    sqlite3_finalize(select);
    return keys;
  }

  CountingVfs& counting_;
  test::TempDir dir_;
  sqlite3* writer_ = nullptr;
  sqlite3* reader_ = nullptr;
};

TEST_F(LogWriteBatchTest, ACommitReachesTheFileInFewWritesAndReadersSeeItWhole) {
  // One small row, rows over several pages, one over the most a write may carry (128 KiB), and
  // one over the most gathered at once, whose transaction also spills pages before its commit.
  const std::size_t sizes[] = {100, 20'000, 300'000, 1'500'000};
  std::vector<int> expected;
  for (int key = 0; key < 4; ++key) {
    const long before = counting_.logWrites;
    ASSERT_EQ(SQLITE_OK, Insert(key, sizes[key])) << sqlite3_errmsg(writer_);
    const long writes = counting_.logWrites - before;
    // Unbatched, a commit writes twice per page: about 10, 150 and 740 writes for the first three.
    if (key < 3) {
      EXPECT_LE(writes, static_cast<long>(sizes[key] / 65536 + 2)) << "row of " << sizes[key] << " bytes";
    }
    expected.push_back(key);
    EXPECT_EQ(expected, ReadBack());
  }
}

TEST_F(LogWriteBatchTest, AWriteThatFailsFailsItsCommitAndTheNextCommitIsWhole) {
  ASSERT_EQ(SQLITE_OK, Insert(1, 5'000));
  counting_.failLogWrites = true;
  EXPECT_NE(SQLITE_OK, Insert(2, 5'000));
  counting_.failLogWrites = false;
  EXPECT_EQ(std::vector<int>{1}, ReadBack());
  ASSERT_EQ(SQLITE_OK, Insert(3, 5'000)) << sqlite3_errmsg(writer_);
  EXPECT_EQ((std::vector<int>{1, 3}), ReadBack());
}

}  // namespace
}  // namespace zeb::zdl
