// The threads that run zebd's I/O and requests. The pool has one event loop per I/O thread, and
// each connection lives on one loop: its request is read, served and answered by that loop's
// thread, with no hand-off to another thread and no lock shared with the other loops.
//
// A request runs on the thread that read it, so a thread that waits for the database (its turn
// to write, a lock another process holds, the sync of the log, the database server's answer)
// would keep every other connection of its loop waiting too. While a loop's thread waits, a
// stand-in thread runs that loop in its place: about as many threads run each loop as wait on
// it plus one, however many wait.
#pragma once

#include <atomic>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "zdl/base/DatabaseWait.h"

namespace zeb::server {

class WorkerPool : public zdl::WaitObserver {
 public:
  // Stand-ins beyond this many, over all loops, are not started: further waits just wait.
  static constexpr std::size_t kMaxStandIns = 64;

  // Makes loops event loops (at least one); no thread runs them before Start.
  explicit WorkerPool(unsigned loops);
  ~WorkerPool() override;
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  std::size_t size() const { return lanes_.size(); }
  boost::asio::io_context& Loop(std::size_t index) { return lanes_[index]->ioc; }
  // The loop for the next connection: each loop in turn. Thread-safe.
  boost::asio::io_context& NextLoop();

  // Starts one thread per loop. Each runs its loop until Stop, with or without work.
  void Start();
  // Stops every loop: handlers under way finish, no other runs. Thread-safe.
  void Stop();
  // REQUIRES: Stop was called. Returns once every thread has ended.
  void Join();

  // Called by the database library on the waiting thread; threads of no loop of this pool are
  // not counted.
  void WaitBegins() override;
  void WaitEnds() override;

 private:
  // One event loop and the count of its waiting threads and stand-ins.
  struct Lane {
    explicit Lane(WorkerPool& owner) : pool(owner), work(ioc.get_executor()) {}
    WorkerPool& pool;
    // Stand-ins may run the loop beside its thread: never the single-thread hint.
    boost::asio::io_context ioc{2};
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work;
    std::mutex mutex;
    std::condition_variable needed;
    std::size_t waiting = 0;  // threads of this loop inside a wait; guarded by mutex, as below
    std::size_t running = 0;  // stand-ins inside the loop
    std::size_t idle = 0;     // stand-ins parked
    bool stopping = false;
  };

  void RunWorker(Lane& lane);
  void RunStandIn(Lane& lane);
  // REQUIRES: lane.mutex held. Starts a stand-in for lane unless kMaxStandIns run already.
  void AddStandIn(Lane& lane);
  // Runs handlers of lane's loop until it stops; false when it stopped, true when single is set
  // and one handler ran.
  static bool RunLoop(Lane& lane, bool single);

  // The lane the calling thread runs, if any.
  static thread_local Lane* current_;

  std::vector<std::unique_ptr<Lane>> lanes_;
  std::atomic<std::size_t> next_{0};
  std::mutex threadsMutex_;           // taken after a lane's mutex, never before
  std::size_t standIns_ = 0;          // guarded by threadsMutex_, as below
  std::vector<std::thread> threads_;  // the loops' threads, then the stand-ins
};

}  // namespace zeb::server
