#include "server/WorkerPool.h"

#include <algorithm>
#include <boost/asio/post.hpp>
#include <exception>
#include <string>

#include "server/HttpSession.h"

namespace zeb::server {

thread_local WorkerPool::Lane* WorkerPool::current_ = nullptr;

WorkerPool::WorkerPool(unsigned loops) {
  for (unsigned i = 0; i < std::max(loops, 1u); ++i) lanes_.push_back(std::make_unique<Lane>(*this));
}

WorkerPool::~WorkerPool() {
  Stop();
  Join();
}

boost::asio::io_context& WorkerPool::NextLoop() {
  return Loop(next_.fetch_add(1, std::memory_order_relaxed) % lanes_.size());
}

void WorkerPool::Start() {
  std::lock_guard<std::mutex> lock(threadsMutex_);
  for (auto& lane : lanes_) threads_.emplace_back([this, &lane = *lane] { RunWorker(lane); });
}

void WorkerPool::Stop() {
  for (auto& lane : lanes_) lane->ioc.stop();
}

void WorkerPool::Join() {
  for (auto& lane : lanes_) {
    std::lock_guard<std::mutex> lock(lane->mutex);
    lane->stopping = true;
    lane->needed.notify_all();
  }
  // No stand-in starts once its lane is stopping, so the list is complete.
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(threadsMutex_);
    threads.swap(threads_);
  }
  for (auto& thread : threads) thread.join();
}

void WorkerPool::WaitBegins() {
  Lane* lane = current_;
  if (lane == nullptr || &lane->pool != this) return;
  std::lock_guard<std::mutex> lock(lane->mutex);
  ++lane->waiting;
  if (lane->running >= lane->waiting || lane->stopping) return;
  if (lane->idle > 0) {
    lane->needed.notify_one();
  } else {
    AddStandIn(*lane);
  }
}

void WorkerPool::WaitEnds() {
  Lane* lane = current_;
  if (lane == nullptr || &lane->pool != this) return;
  std::lock_guard<std::mutex> lock(lane->mutex);
  --lane->waiting;
}

void WorkerPool::AddStandIn(Lane& lane) {
  std::lock_guard<std::mutex> lock(threadsMutex_);
  if (standIns_ >= kMaxStandIns) return;
  ++standIns_;
  threads_.emplace_back([this, &lane] { RunStandIn(lane); });
}

void WorkerPool::RunWorker(Lane& lane) {
  current_ = &lane;
  RunLoop(lane, false);
}

// A stand-in runs one handler at a time while its loop's threads wait, and parks when they are
// back. One that is in the loop with nothing to do just waits there for the next handler.
void WorkerPool::RunStandIn(Lane& lane) {
  current_ = &lane;
  std::unique_lock<std::mutex> lock(lane.mutex);
  for (;;) {
    ++lane.idle;
    lane.needed.wait(lock, [&lane] { return lane.stopping || lane.running < lane.waiting; });
    --lane.idle;
    if (lane.stopping) return;
    ++lane.running;
    lock.unlock();
    const bool more = RunLoop(lane, true);
    lock.lock();
    --lane.running;
    if (!more) return;
    if (lane.stopping || lane.running < lane.waiting) continue;
    // Parking. run_one leaves what its handler queued for later (the next step of a write, say)
    // in the loop without waking another of the loop's threads, which may sleep on until some
    // unrelated event: the response would stall half sent. A no-op post wakes one to take it.
    // (A stand-in that goes on running takes that work itself.)
    lock.unlock();
    boost::asio::post(lane.ioc, [] {});
    lock.lock();
  }
}

// A handler that throws does not end the thread; sessions catch what the extension raises, so
// this is only a last line of defence.
bool WorkerPool::RunLoop(Lane& lane, bool single) {
  for (;;) {
    try {
      if (!single) {
        lane.ioc.run();
        return false;
      }
      return lane.ioc.run_one() > 0;
    } catch (const std::exception& e) {
      fail({}, std::string("worker: ") + e.what());
      if (single) return true;
    }
  }
}

}  // namespace zeb::server
