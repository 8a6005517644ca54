// The write turn, group commit and log write gathering of the embedded back end. A VFS shim
// counts the writes and syncs of the write-ahead log and records how far each sync reached, so
// the tests see what a power loss would keep.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/Partitions.h"
#include "support/TempDir.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"
#include "zdl/base/Durability.h"
#include "zdl/sqlite/GroupCommit.h"
#include "zdl/sqlite/LogWriteBatch.h"
#include "zdl/sqlite/WriteGate.h"

namespace zeb::zdl {
namespace {

using namespace std::chrono_literals;
using test::AddPartition;

// Wraps the default VFS: a file is the base VFS's file followed by its base methods and a flag
// that marks a log. Every write to a log is numbered; a sync of a log records the number of the
// last write before it began, which it made durable.
struct LogShim {
  static LogShim& Get() {
    static LogShim shim;
    return shim;
  }
  // Databases opened meanwhile go through the shim.
  void Install() { sqlite3_vfs_register(&vfs, 1); }
  void Uninstall() { sqlite3_vfs_register(base, 1); }
  // The number of the calling thread's last write to a log.
  static long& LastWrite() {
    thread_local long last = 0;
    return last;
  }

  std::atomic<long> writes{0};
  std::atomic<long> reads{0};  // of any file
  std::atomic<long> durable{0};
  std::atomic<long> syncs{0};
  std::atomic<bool> holdSyncs{false};  // syncs wait while set
  std::atomic<bool> failSyncs{false};  // syncs fail while set
  std::atomic<bool> failWrites{false};  // writes to a log fail while set
  std::atomic<bool> syncWaiting{false};

 private:
  LogShim() : base(sqlite3_vfs_find(nullptr)), vfs(*base) {
    vfs.zName = "logshim";
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
    LogShim& shim = Get();
    const int rc = shim.base->xOpen(shim.base, name, file, flags, outFlags);
    if (rc != SQLITE_OK || !file->pMethods) return rc;
    ExtraOf(file) = {file->pMethods, (flags & SQLITE_OPEN_WAL) != 0};
    std::lock_guard<std::mutex> lock(shim.mutex);
    auto made = shim.methods.emplace(file->pMethods, *file->pMethods);
    if (made.second) {  // files already open read this entry: it is filled in once
      made.first->second.xWrite = &Write;
      made.first->second.xRead = &Read;
      made.first->second.xSync = &Sync;
    }
    file->pMethods = &made.first->second;
    return rc;
  }
  static int Write(sqlite3_file* file, const void* data, int size, sqlite3_int64 offset) {
    if (ExtraOf(file).log && Get().failWrites) return SQLITE_IOERR_WRITE;
    const int rc = ExtraOf(file).base->xWrite(file, data, size, offset);
    if (ExtraOf(file).log) LastWrite() = ++Get().writes;
    return rc;
  }
  static int Read(sqlite3_file* file, void* data, int size, sqlite3_int64 offset) {
    ++Get().reads;
    return ExtraOf(file).base->xRead(file, data, size, offset);
  }
  static int Sync(sqlite3_file* file, int flags) {
    LogShim& shim = Get();
    const sqlite3_io_methods* base = ExtraOf(file).base;
    if (!ExtraOf(file).log) return base->xSync(file, flags);
    const long reached = shim.writes.load();
    shim.syncWaiting = true;
    while (shim.holdSyncs) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(2ms);  // slow, so that commits arrive while a sync is under way
    int rc = SQLITE_IOERR_FSYNC;
    if (!shim.failSyncs) {
      rc = base->xSync(file, flags);
      ++shim.syncs;
      long known = shim.durable.load();
      while (known < reached && !shim.durable.compare_exchange_weak(known, reached)) {
      }
    }
    shim.syncWaiting = false;
    return rc;
  }

  sqlite3_vfs* base;
  sqlite3_vfs vfs;
  std::mutex mutex;
  std::map<const sqlite3_io_methods*, sqlite3_io_methods> methods;  // ours, by the base's
};

class GroupCommitTest : public ::testing::Test {
 protected:
  GroupCommitTest() : shim_(LogShim::Get()) {
    shim_.Install();
    db_ = CZDLDatabase::Open(dir_ / "zeb.db");
    AddPartition(db_->Session(), "warm-up");  // the first commit in WAL mode also syncs the log header
  }
  ~GroupCommitTest() override {
    db_.reset();
    shim_.Uninstall();
  }

  LogShim& shim_;
  test::TempDir dir_;
  std::unique_ptr<CZDLDatabase> db_;
};

TEST_F(GroupCommitTest, ConcurrentCommitsShareSyncsAndEachIsSyncedBeforeItReturns) {
  constexpr int kThreads = 8;
  constexpr int kCommits = 25;
  const long syncsBefore = shim_.syncs;
  std::atomic<int> uncovered{0};
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      CZDLSession& session = db_->Session();
      for (int i = 0; i < kCommits; ++i) {
        AddPartition(session, "P" + std::to_string(t) + "-" + std::to_string(i));
        if (shim_.durable < LogShim::LastWrite()) ++uncovered;
      }
    });
  }
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(0, uncovered.load()) << "a commit returned before a sync covered its frames";
  const long syncs = shim_.syncs - syncsBefore;
  EXPECT_LT(syncs, kThreads * kCommits / 2) << syncs << " syncs for " << kThreads * kCommits << " commits";
  CRoutePartitionList all(db_->Session());
  all.SelectAll();
  EXPECT_EQ(static_cast<std::size_t>(kThreads * kCommits + 1), all.Count());

  // A commit alone still gets its own sync.
  const long alone = shim_.syncs;
  AddPartition(db_->Session(), "alone");
  EXPECT_EQ(alone + 1, shim_.syncs.load());
}

// The writes of all workers run on the file's one writer connection: another worker's commit
// does not empty its page cache, so a write finds what it needs in memory, where a worker's own
// connection would read it again from the files after every commit of the other.
TEST_F(GroupCommitTest, WritesOfWorkersInTurnReadAlmostNothingFromTheFiles) {
  constexpr int kRounds = 20;
  std::mutex mutex;
  std::condition_variable turned;
  int turn = 0;  // commits made so far; worker turn % 2 makes the next
  long readsAfterWarmUp = 0;
  const auto worker = [&](int parity) {
    CZDLSession& session = db_->Session();
    for (int i = parity; i < 2 * kRounds; i += 2) {
      std::unique_lock<std::mutex> lock(mutex);
      turned.wait(lock, [&] { return turn == i; });
      if (i == 2) readsAfterWarmUp = shim_.reads;
      AddPartition(session, "W" + std::to_string(i));
      ++turn;
      turned.notify_all();
    }
  };
  std::thread even(worker, 0), odd(worker, 1);
  even.join();
  odd.join();
  EXPECT_LT(shim_.reads - readsAfterWarmUp, 2 * kRounds - 2) << "reads for " << 2 * kRounds - 2 << " commits";
}

TEST_F(GroupCommitTest, ReadThatSawAnUnsyncedCommitEndsOnlyAfterItsSync) {
  shim_.holdSyncs = true;
  auto writer = std::async(std::launch::async, [&] { AddPartition(db_->Session(), "pending"); });
  while (!shim_.syncWaiting) std::this_thread::sleep_for(1ms);
  auto reader = std::async(std::launch::async, [&] {
    CZDLSession& session = db_->Session();
    CZDLReadScope snapshot(session);
    CRoutePartitionList list(session);
    list.SelectByName("pending");
    return list.Count();
  });
  EXPECT_EQ(std::future_status::timeout, reader.wait_for(100ms)) << "the read was answered before the sync";
  EXPECT_EQ(std::future_status::timeout, writer.wait_for(0ms));
  shim_.holdSyncs = false;
  EXPECT_EQ(1u, reader.get());
  writer.get();
}

// Inside a deferred scope a commit returns before its sync; the scope hands the outcome on once
// the log's own syncing thread has covered the commit, after the work given to AfterDurable.
TEST_F(GroupCommitTest, DeferredCommitReturnsAtOnceAndIsHandedOnOnceSynced) {
  shim_.holdSyncs = true;
  std::promise<bool> handed;
  std::vector<std::string> order;
  {
    DeferredDurability scope;
    AddPartition(db_->Session(), "deferred");
    const long written = LogShim::LastWrite();
    ASSERT_TRUE(scope.pending());
    EXPECT_TRUE(DurabilityPending());
    AfterDurable([&] { order.push_back("after"); });
    scope.Then([&, written](bool durable) {
      order.push_back("done");
      handed.set_value(durable && shim_.durable >= written);
    });
  }
  EXPECT_FALSE(DurabilityPending());
  std::future<bool> outcome = handed.get_future();
  EXPECT_EQ(std::future_status::timeout, outcome.wait_for(50ms)) << "handed on before the sync";
  shim_.holdSyncs = false;
  EXPECT_TRUE(outcome.get()) << "handed on as durable before a sync covered the commit";
  EXPECT_EQ((std::vector<std::string>{"after", "done"}), order);

  // A sync that fails is handed on as such; the next one covers the commit again.
  shim_.failSyncs = true;
  for (const bool fails : {true, false}) {
    std::promise<bool> next;
    {
      DeferredDurability scope;
      AddPartition(db_->Session(), fails ? "failed" : "after failure");
      scope.Then([&](bool durable) { next.set_value(durable); });
    }
    EXPECT_EQ(!fails, next.get_future().get());
    shim_.failSyncs = false;
  }
}

// A log that stops hands on every answer still waiting: one whose commit was written after a
// sync, one whose commit never will be as not durable, so that no answer waits for ever.
TEST(GroupCommitStopTest, StoppingHandsEveryWaitingAnswerOn) {
  std::atomic<int> syncs{0};
  GroupCommit commits([&] { ++syncs; });
  const std::uint64_t written = commits.Reserve();
  commits.Written(written);
  const std::uint64_t never = commits.Reserve();
  std::promise<bool> first, second;
  commits.WhenDurable(written, [&](bool durable) { first.set_value(durable); });
  EXPECT_TRUE(first.get_future().get());
  commits.WhenDurable(never, [&](bool durable) { second.set_value(durable); });
  commits.Stop();
  EXPECT_FALSE(second.get_future().get());
  EXPECT_EQ(1, syncs.load());
}

// Readers that never stop keep passive checkpoints from bringing the log back to its start; the
// checkpointing thread then takes the write turn and has the log start over, so that it stays
// bounded however long the writes go on.
TEST(LogRestartTest, LogStaysBoundedWhileReadsNeverStop) {
  test::TempDir dir;
  auto db = CZDLDatabase::Open(dir / "zeb.db");
  CZDLSession& session = db->Session();
  session.ExecScript("CREATE TABLE Scratch (v BLOB); INSERT INTO Scratch (v) VALUES (NULL)");
  std::atomic<bool> writing{true};
  std::thread reader([&] {
    CZDLSession& own = db->Session();
    while (writing) {
      CZDLReadScope snapshot(own);
      own.Query("SELECT length(v) FROM Scratch");
    }
  });
  std::uintmax_t largest = 0;
  for (int i = 0; i < 2500; ++i) {  // each commit writes about ten pages of the log
    CZDLTransaction transaction(session);
    session.Execute("UPDATE Scratch SET v = zeroblob(?)", {CZDLValue(static_cast<long long>(32768 + i))});
    transaction.Commit();
    largest = std::max(largest, std::filesystem::file_size(dir / "zeb.db-wal"));
  }
  writing = false;
  reader.join();
  // It starts over past 32 MiB; commits go on while the checkpointer copies and waits for its
  // turn (without starting over, the log reaches about 185 MB here).
  EXPECT_LT(largest, 56u << 20) << "the log grew to " << largest << " bytes";
}

// The layer that gathers a commit's writes to the log: the shim beneath it sees what reaches
// the file system, and can fail writes.
class LogWriteBatchTest : public ::testing::Test {
 protected:
  LogWriteBatchTest() : shim_(LogShim::Get()) {
    shim_.Install();
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
    shim_.Uninstall();
  }
  static void Exec(sqlite3* db, const char* sql) {
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, sql, nullptr, nullptr, nullptr)) << sql;
  }
  static std::string Blob(int key, std::size_t size) {
    std::string blob(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
      blob[i] = static_cast<char>((i * 131 + static_cast<std::size_t>(key)) % 251);
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

  LogShim& shim_;
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
    const long before = shim_.writes;
    ASSERT_EQ(SQLITE_OK, Insert(key, sizes[key])) << sqlite3_errmsg(writer_);
    const long writes = shim_.writes - before;
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
  shim_.failWrites = true;
  EXPECT_NE(SQLITE_OK, Insert(2, 5'000));
  shim_.failWrites = false;
  EXPECT_EQ(std::vector<int>{1}, ReadBack());
  ASSERT_EQ(SQLITE_OK, Insert(3, 5'000)) << sqlite3_errmsg(writer_);
  EXPECT_EQ((std::vector<int>{1, 3}), ReadBack());
}

TEST(WriteGateTest, TurnsGoInArrivalOrderAndAWaiterThatGivesUpLeavesTheQueue) {
  WriteGate gate;
  ASSERT_TRUE(gate.Acquire(0ms));
  EXPECT_FALSE(gate.Acquire(20ms));
  EXPECT_EQ(0u, gate.Waiting());

  std::vector<int> order;
  std::vector<std::thread> writers;
  for (int i = 0; i < 3; ++i) {
    writers.emplace_back([&, i] {
      if (!gate.Acquire(10s)) return;
      order.push_back(i);
      gate.Release();
    });
    while (gate.Waiting() != static_cast<std::size_t>(i + 1)) std::this_thread::sleep_for(1ms);
  }
  gate.Release();
  for (auto& writer : writers) writer.join();
  EXPECT_EQ((std::vector<int>{0, 1, 2}), order);
  EXPECT_TRUE(gate.Acquire(0ms));
}

}  // namespace
}  // namespace zeb::zdl
