#include "server/ReadinessProbe.h"

#include <exception>

namespace zeb::server {

ReadinessProbe::ReadinessProbe() : thread_([this] { Loop(); }) {}

ReadinessProbe::~ReadinessProbe() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void ReadinessProbe::Add(std::string name, Check check) {
  checks_.emplace_back(std::move(name), std::move(check));
}

std::string ReadinessProbe::Run(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (requested_ == finished_) ++requested_;
  const std::uint64_t round = requested_;
  changed_.notify_all();
  if (!changed_.wait_for(lock, timeout, [&] { return finished_ >= round; })) {
    return current_ + " did not answer within " + std::to_string(timeout.count()) + " ms";
  }
  return result_;
}

void ReadinessProbe::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || requested_ > finished_; });
    if (stop_) return;
    std::string result;
    for (const auto& [name, check] : checks_) {
      current_ = name;
      lock.unlock();
      try {
        check();
      } catch (const std::exception& e) {
        result = name + ": " + e.what();
      }
      lock.lock();
      if (!result.empty() || stop_) break;
    }
    result_ = result;
    finished_ = requested_;
    changed_.notify_all();
  }
}

}  // namespace zeb::server
