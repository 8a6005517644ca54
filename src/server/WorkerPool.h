// The threads that run zebd's I/O and requests. A request runs on the thread that read it, so
// a thread that waits for the database (its turn to write, a lock another process holds, the
// sync of the log, the database server's answer) would keep every other connection it could
// serve waiting too. While pool threads wait, stand-in threads run the event loop in their
// place: about as many threads as configured run at any time, however many wait.
#pragma once

#include <boost/asio/io_context.hpp>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "zdl/base/DatabaseWait.h"

namespace zeb::server {

class WorkerPool : public zdl::WaitObserver {
 public:
  // Stand-ins beyond this many are not started: further waits just wait.
  static constexpr std::size_t kMaxStandIns = 64;

  explicit WorkerPool(boost::asio::io_context& ioc) : ioc_(ioc) {}
  ~WorkerPool() override { Join(); }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Starts threads threads running the event loop.
  void Start(unsigned threads);
  // REQUIRES: the event loop has been stopped. Returns once every thread has ended.
  void Join();

  // Called by the database library on the waiting thread; other threads are not counted.
  void WaitBegins() override;
  void WaitEnds() override;

 private:
  void RunWorker();
  void RunStandIn();
  // Runs event loop handlers until the loop stops; false when it stopped, true when
  // single is set and one handler ran.
  bool RunLoop(bool single);

  boost::asio::io_context& ioc_;
  std::mutex mutex_;
  std::condition_variable needed_;
  std::size_t waiting_ = 0;   // pool threads inside a wait; guarded by mutex_, as below
  std::size_t running_ = 0;   // stand-ins inside the event loop
  std::size_t idle_ = 0;      // stand-ins parked
  bool stopping_ = false;
  std::size_t workers_ = 0;
  std::vector<std::thread> threads_;  // the workers, then the stand-ins
};

}  // namespace zeb::server
