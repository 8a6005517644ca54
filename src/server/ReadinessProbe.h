// Answers "is this node ready to serve?" for /readyz: runs named checks (the configuration
// database, the directory when one is set) one after another on a thread of its own, and
// gives up waiting after a time-out, so that a check stuck on an unreachable server makes the
// answer "not ready" instead of holding up the caller.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace zeb::server {

class ReadinessProbe {
 public:
  // A check returns when its service answers and throws std::exception saying why not.
  using Check = std::function<void()>;

  ReadinessProbe();
  // Waits for a check under way to end.
  ~ReadinessProbe();
  ReadinessProbe(const ReadinessProbe&) = delete;
  ReadinessProbe& operator=(const ReadinessProbe&) = delete;

  // REQUIRES: before the first Run.
  void Add(std::string name, Check check);

  // Runs every check. Returns "" when all passed within timeout, else one line naming the first
  // that failed or did not answer in time. A round still running from an earlier call (a stuck
  // check) is waited for instead of starting another. Thread-safe.
  std::string Run(std::chrono::milliseconds timeout);

 private:
  void Loop();

  std::vector<std::pair<std::string, Check>> checks_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  std::uint64_t requested_ = 0;  // rounds asked for
  std::uint64_t finished_ = 0;   // rounds done
  std::string result_;           // of the last round done
  std::string current_;          // the check under way
  bool stop_ = false;
  std::thread thread_;  // last: starts once the rest is made
};

}  // namespace zeb::server
