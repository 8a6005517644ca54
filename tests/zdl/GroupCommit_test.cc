// The write turn and group commit of the embedded back end. A VFS shim counts the syncs of the
// write-ahead log and records how far each one reached, so the tests see what a power loss
// would keep.
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

#include "support/TempDir.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"
#include "zdl/base/Durability.h"
#include "zdl/sqlite/GroupCommit.h"
#include "zdl/sqlite/WriteGate.h"

namespace zeb::zdl {
namespace {

using namespace std::chrono_literals;

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
    made.first->second.xWrite = &Write;
    made.first->second.xRead = &Read;
    made.first->second.xSync = &Sync;
    file->pMethods = &made.first->second;
    return rc;
  }
  static int Write(sqlite3_file* file, const void* data, int size, sqlite3_int64 offset) {
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
    if (shim.failSyncs) {
      shim.syncWaiting = false;
      return SQLITE_IOERR_FSYNC;
    }
    const int rc = base->xSync(file, flags);
    ++shim.syncs;
    long known = shim.durable.load();
    while (known < reached && !shim.durable.compare_exchange_weak(known, reached)) {
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
  static void AddPartition(CZDLSession& session, const std::string& name) {
    CRoutePartitionList list(session);
    list.Insert()->PutName(name);
    list.Update();
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
