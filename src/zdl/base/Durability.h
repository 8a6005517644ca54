// Answers that wait for the sync of the commits they tell of without a thread waiting with them.
// A thread that serves requests opens a DeferredDurability scope around one request: a wait for
// a commit to become durable (the request's own commit, or one its reads saw) is then only noted,
// and the scope's owner sends the answer once a sync has covered what was noted (Then).
// Meanwhile the thread serves other requests, so that the commits of many requests are written
// while one sync runs, and the next sync covers them all. Outside a scope a thread waits as usual.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace zeb::zdl {

// What makes commits durable, in the order of their numbers (the group commit of one file).
class DurableLog {
 public:
  virtual ~DurableLog() = default;
  // Runs done once commit number is durable (true), or once the sync that was to cover it failed
  // (false). done runs on another thread, or at once on this one when the commit is durable.
  virtual void WhenDurable(std::uint64_t number, std::function<void(bool durable)> done) = 0;
};

class DeferredDurability {
 public:
  // Notes the calling thread's waits for durability from now on (scopes do not nest: an inner
  // one notes nothing and runs what it is given at once).
  DeferredDurability();
  // Hands what was noted on with nothing more to run, unless Then did.
  ~DeferredDurability();
  DeferredDurability(const DeferredDurability&) = delete;
  DeferredDurability& operator=(const DeferredDurability&) = delete;

  // Whether something noted is not known to be durable yet.
  bool pending() const { return log_ != nullptr; }

  // Ends the noting: runs the work given to AfterDurable and then done once what was noted is
  // durable (at once, on this thread, when nothing was). REQUIRES: called at most once.
  void Then(std::function<void(bool durable)> done);

  // Called by a log on the waiting thread. True when the thread's scope takes note of number, so
  // that the caller need not wait; false when it must (no scope, or one noting another log).
  static bool Note(DurableLog& log, std::uint64_t number);

 private:
  friend void AfterDurable(std::function<void()> work);

  bool active_ = false;  // this scope notes the thread's waits
  bool handed_ = false;  // Then was called
  DurableLog* log_ = nullptr;
  std::uint64_t number_ = 0;
  std::vector<std::function<void()>> after_;
};

// Runs work once what the calling thread's scope noted is durable, whether the sync succeeded or
// not; at once when nothing is noted.
void AfterDurable(std::function<void()> work);

// Whether the calling thread's answer waits for a sync: what it read must not be kept for others
// before then.
bool DurabilityPending();

// Returns once every answer handed on by Then has had its done run: those run on the logs'
// threads and reach the loops of the server that must outlive them.
void AwaitHandedOn();

}  // namespace zeb::zdl
