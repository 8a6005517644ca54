#include "server/WorkerPool.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <boost/asio/defer.hpp>
#include <boost/asio/post.hpp>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace zeb::server {
namespace {

using std::chrono::seconds;
namespace net = boost::asio;

// The thread a handler posted to the loop ran on; a default id when none ran it in time.
std::thread::id ThreadOf(net::io_context& loop) {
  auto ran = std::make_shared<std::promise<std::thread::id>>();
  std::future<std::thread::id> id = ran->get_future();
  net::post(loop, [ran] { ran->set_value(std::this_thread::get_id()); });
  if (id.wait_for(seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "no thread ran the loop";
    return {};
  }
  return id.get();
}

TEST(WorkerPool, ConnectionsGoToTheLoopsInTurnAndEachLoopKeepsItsThread) {
  WorkerPool pool(3);
  ASSERT_EQ(3u, pool.size());
  std::vector<net::io_context*> given;
  for (int i = 0; i < 6; ++i) given.push_back(&pool.NextLoop());
  for (int i = 0; i < 6; ++i) EXPECT_EQ(&pool.Loop(i % 3), given[i]) << i;

  pool.Start();
  const std::thread::id first = ThreadOf(pool.Loop(0));
  const std::thread::id second = ThreadOf(pool.Loop(1));
  EXPECT_NE(first, second);
  EXPECT_NE(std::this_thread::get_id(), first);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(first, ThreadOf(pool.Loop(0)));
    EXPECT_EQ(second, ThreadOf(pool.Loop(1)));
  }
  pool.Stop();
  pool.Join();
}

// A handler that waits for the database holds its loop's thread; a stand-in serves that loop's
// other handlers meanwhile, and no more threads run it once the wait is over. Waits of threads
// that run no loop of the pool are not the pool's to cover.
TEST(WorkerPool, AStandInServesTheLoopOfAWaitingThread) {
  WorkerPool pool(2);
  zdl::SetWaitObserver(&pool);
  pool.Start();
  const std::thread::id worker = ThreadOf(pool.Loop(0));
  {
    const zdl::CZDLWait wait;
    EXPECT_EQ(worker, ThreadOf(pool.Loop(0)));
  }
  std::promise<void> release;
  std::promise<void> released;
  net::post(pool.Loop(0), [&] {
    const zdl::CZDLWait wait;
    release.get_future().wait();
    released.set_value();
  });
  // Served while the loop's thread waits: without a stand-in this would never run.
  const std::thread::id standIn = ThreadOf(pool.Loop(0));
  EXPECT_NE(worker, standIn);
  EXPECT_NE(ThreadOf(pool.Loop(1)), standIn);
  release.set_value();
  EXPECT_EQ(std::future_status::ready, released.get_future().wait_for(seconds(10)));
  pool.Stop();
  pool.Join();
  zdl::SetWaitObserver(nullptr);
}

// A stand-in runs one handler and leaves. What that handler queued for later (the next step of
// a write, say) still runs although the loop's own thread is asleep in the loop by then.
TEST(WorkerPool, WorkAStandInQueuedRunsAfterItLeaves) {
  WorkerPool pool(1);
  zdl::SetWaitObserver(&pool);
  pool.Start();
  std::promise<void> waitOver;
  auto followUp = std::make_shared<std::promise<void>>();
  std::future<void> ran = followUp->get_future();
  net::post(pool.Loop(0), [&] {
    const zdl::CZDLWait wait;
    waitOver.get_future().wait();
  });
  // Run by the stand-in: it ends the wait, lets the loop's thread fall asleep, then queues.
  net::post(pool.Loop(0), [&, followUp] {
    waitOver.set_value();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    net::defer(pool.Loop(0), [followUp] { followUp->set_value(); });
  });
  EXPECT_EQ(std::future_status::ready, ran.wait_for(seconds(10)));
  pool.Stop();
  pool.Join();
  zdl::SetWaitObserver(nullptr);
}

// The CPU time the process has used so far.
std::chrono::microseconds CpuTime() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// A stand-in with nothing to do sleeps in the loop: it does not spin while the wait goes on.
TEST(WorkerPool, AStandInWithNothingToDoSleeps) {
  WorkerPool pool(1);
  zdl::SetWaitObserver(&pool);
  pool.Start();
  std::promise<void> waitOver;
  std::promise<void> waitBegun;
  net::post(pool.Loop(0), [&] {
    const zdl::CZDLWait wait;
    waitBegun.set_value();
    waitOver.get_future().wait();
  });
  waitBegun.get_future().wait();
  ThreadOf(pool.Loop(0));  // served by the stand-in, which then waits for more
  const auto before = CpuTime();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  const auto used = CpuTime() - before;
  waitOver.set_value();
  EXPECT_LT(used.count(), 100'000) << "microseconds of CPU in 400 ms of waiting";
  pool.Stop();
  pool.Join();
  zdl::SetWaitObserver(nullptr);
}

}  // namespace
}  // namespace zeb::server
