#include "server/WorkerPool.h"

#include <exception>
#include <string>

#include "server/HttpSession.h"

namespace zeb::server {

namespace {
// The pool the calling thread belongs to, if any.
thread_local WorkerPool* tPool = nullptr;
}  // namespace

void WorkerPool::Start(unsigned threads) {
  std::lock_guard<std::mutex> lock(mutex_);
  workers_ += threads;
  for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this] { RunWorker(); });
}

void WorkerPool::Join() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    needed_.notify_all();
    threads.swap(threads_);
  }
  for (auto& thread : threads) thread.join();
}

void WorkerPool::WaitBegins() {
  if (tPool != this) return;
  std::lock_guard<std::mutex> lock(mutex_);
  ++waiting_;
  if (running_ >= waiting_ || stopping_) return;
  if (idle_ > 0) {
    needed_.notify_one();
  } else if (threads_.size() < workers_ + kMaxStandIns) {
    threads_.emplace_back([this] { RunStandIn(); });
  }
}

void WorkerPool::WaitEnds() {
  if (tPool != this) return;
  std::lock_guard<std::mutex> lock(mutex_);
  --waiting_;
}

void WorkerPool::RunWorker() {
  tPool = this;
  RunLoop(false);
}

// A stand-in runs one handler at a time while pool threads wait, and parks when they are back.
// One that is in the loop with nothing to do just waits there for the next handler.
void WorkerPool::RunStandIn() {
  tPool = this;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++idle_;
    needed_.wait(lock, [this] { return stopping_ || running_ < waiting_; });
    --idle_;
    if (stopping_) return;
    ++running_;
    lock.unlock();
    const bool more = RunLoop(true);
    lock.lock();
    --running_;
    if (!more) return;
  }
}

// A handler that throws does not end the thread; sessions catch what the extension raises, so
// this is only a last line of defence.
bool WorkerPool::RunLoop(bool single) {
  for (;;) {
    try {
      if (!single) {
        ioc_.run();
        return false;
      }
      return ioc_.run_one() > 0;
    } catch (const std::exception& e) {
      fail({}, std::string("worker: ") + e.what());
      if (single) return true;
    }
  }
}

}  // namespace zeb::server
