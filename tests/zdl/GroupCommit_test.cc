// The write turn and group commit of the embedded back end. A VFS shim counts the syncs of the
// write-ahead log and records how far each one reached, so the tests see what a power loss
// would keep.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"
#include "zdl/sqlite/WriteGate.h"

namespace zeb::zdl {
namespace {

using namespace std::chrono_literals;

// Wraps the default VFS. Every write to a log is numbered; a sync of a log records the number of
// the last write before it began, which it made durable.
struct LogShim {
  static LogShim& Get() {
    static LogShim shim;
    return shim;
  }
  std::atomic<long> writes{0};
  std::atomic<long> durable{0};
  std::atomic<long> syncs{0};
  std::atomic<bool> holdSyncs{false};  // syncs wait while set
  std::atomic<bool> syncWaiting{false};
  sqlite3_vfs vfs{};
  sqlite3_vfs* base = nullptr;
  sqlite3_io_methods methods{};
  const sqlite3_io_methods* baseMethods = nullptr;

 private:
  LogShim() {
    base = sqlite3_vfs_find(nullptr);
    vfs = *base;
    vfs.zName = "logshim";
    vfs.szOsFile = base->szOsFile + static_cast<int>(sizeof(File));
    vfs.xOpen = &Open;
  }
  // The base file follows this header.
  struct File {
    sqlite3_file head;
    bool log;
    sqlite3_file* Base() { return reinterpret_cast<sqlite3_file*>(this + 1); }
  };
  static int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* out, int flags, int* outFlags) {
    LogShim& shim = Get();
    File* file = reinterpret_cast<File*>(out);
    file->head.pMethods = nullptr;
    const int rc = shim.base->xOpen(shim.base, name, file->Base(), flags, outFlags);
    if (rc != SQLITE_OK) return rc;
    file->log = (flags & SQLITE_OPEN_WAL) != 0;
    if (!shim.baseMethods) {
      shim.baseMethods = file->Base()->pMethods;
      shim.methods = *shim.baseMethods;
      shim.methods.xClose = [](sqlite3_file* f) { return Forward(f)->pMethods->xClose(Forward(f)); };
      shim.methods.xRead = [](sqlite3_file* f, void* b, int n, sqlite3_int64 o) {
        return Forward(f)->pMethods->xRead(Forward(f), b, n, o);
      };
      shim.methods.xWrite = &Write;
      shim.methods.xTruncate = [](sqlite3_file* f, sqlite3_int64 n) { return Forward(f)->pMethods->xTruncate(Forward(f), n); };
      shim.methods.xSync = &Sync;
      shim.methods.xFileSize = [](sqlite3_file* f, sqlite3_int64* n) { return Forward(f)->pMethods->xFileSize(Forward(f), n); };
      shim.methods.xLock = [](sqlite3_file* f, int l) { return Forward(f)->pMethods->xLock(Forward(f), l); };
      shim.methods.xUnlock = [](sqlite3_file* f, int l) { return Forward(f)->pMethods->xUnlock(Forward(f), l); };
      shim.methods.xCheckReservedLock = [](sqlite3_file* f, int* r) {
        return Forward(f)->pMethods->xCheckReservedLock(Forward(f), r);
      };
      shim.methods.xFileControl = [](sqlite3_file* f, int op, void* a) {
        return Forward(f)->pMethods->xFileControl(Forward(f), op, a);
      };
      shim.methods.xSectorSize = [](sqlite3_file* f) { return Forward(f)->pMethods->xSectorSize(Forward(f)); };
      shim.methods.xDeviceCharacteristics = [](sqlite3_file* f) {
        return Forward(f)->pMethods->xDeviceCharacteristics(Forward(f));
      };
      shim.methods.xShmMap = [](sqlite3_file* f, int r, int s, int e, void volatile** p) {
        return Forward(f)->pMethods->xShmMap(Forward(f), r, s, e, p);
      };
      shim.methods.xShmLock = [](sqlite3_file* f, int o, int n, int fl) {
        return Forward(f)->pMethods->xShmLock(Forward(f), o, n, fl);
      };
      shim.methods.xShmBarrier = [](sqlite3_file* f) { Forward(f)->pMethods->xShmBarrier(Forward(f)); };
      shim.methods.xShmUnmap = [](sqlite3_file* f, int d) { return Forward(f)->pMethods->xShmUnmap(Forward(f), d); };
      shim.methods.xFetch = nullptr;
      shim.methods.xUnfetch = nullptr;
      shim.methods.iVersion = std::min(shim.methods.iVersion, 2);
    }
    file->head.pMethods = &shim.methods;
    return SQLITE_OK;
  }
  static sqlite3_file* Forward(sqlite3_file* f) { return reinterpret_cast<File*>(f)->Base(); }
  static int Write(sqlite3_file* f, const void* data, int n, sqlite3_int64 offset) {
    const int rc = Forward(f)->pMethods->xWrite(Forward(f), data, n, offset);
    if (reinterpret_cast<File*>(f)->log) LastWrite() = ++Get().writes;
    return rc;
  }
  static int Sync(sqlite3_file* f, int flags) {
    LogShim& shim = Get();
    if (!reinterpret_cast<File*>(f)->log) return Forward(f)->pMethods->xSync(Forward(f), flags);
    const long reached = shim.writes.load();
    shim.syncWaiting = true;
    while (shim.holdSyncs) std::this_thread::sleep_for(1ms);
    // Slow, so that commits arrive while a sync is under way.
    std::this_thread::sleep_for(2ms);
    const int rc = Forward(f)->pMethods->xSync(Forward(f), flags);
    ++shim.syncs;
    long known = shim.durable.load();
    while (known < reached && !shim.durable.compare_exchange_weak(known, reached)) {
    }
    shim.syncWaiting = false;
    return rc;
  }

 public:
  // Databases opened meanwhile go through the shim.
  void Install() { sqlite3_vfs_register(&vfs, 1); }
  void Uninstall() { sqlite3_vfs_register(base, 1); }
  // The number of the calling thread's last write to a log.
  static long& LastWrite() {
    thread_local long last = 0;
    return last;
  }
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
