#include "zdl/base/Durability.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace zeb::zdl {

namespace {

thread_local DeferredDurability* tScope = nullptr;

// The answers handed on whose done has not yet run.
std::mutex gHandedMutex;
std::condition_variable gHandedDone;
std::size_t gHanded = 0;

}  // namespace

DeferredDurability::DeferredDurability() {
  if (tScope) return;
  tScope = this;
  active_ = true;
}

DeferredDurability::~DeferredDurability() {
  if (!handed_) Then([](bool) {});
}

void DeferredDurability::Then(std::function<void(bool durable)> done) {
  handed_ = true;
  if (active_) tScope = nullptr;
  active_ = false;
  if (!log_) return done(true);  // AfterDurable ran its work at once
  {
    std::lock_guard<std::mutex> lock(gHandedMutex);
    ++gHanded;
  }
  DurableLog* log = std::exchange(log_, nullptr);
  log->WhenDurable(number_, [after = std::move(after_), done = std::move(done)](bool durable) {
    for (auto& work : after) work();
    done(durable);
    std::lock_guard<std::mutex> lock(gHandedMutex);
    if (--gHanded == 0) gHandedDone.notify_all();
  });
}

bool DeferredDurability::Note(DurableLog& log, std::uint64_t number) {
  DeferredDurability* scope = tScope;
  if (!scope || (scope->log_ && scope->log_ != &log)) return false;
  scope->log_ = &log;
  if (number > scope->number_) scope->number_ = number;
  return true;
}

void AfterDurable(std::function<void()> work) {
  DeferredDurability* scope = tScope;
  if (!scope || !scope->log_) return work();
  scope->after_.push_back(std::move(work));
}

bool DurabilityPending() { return tScope && tScope->pending(); }

void AwaitHandedOn() {
  std::unique_lock<std::mutex> lock(gHandedMutex);
  gHandedDone.wait(lock, [] { return gHanded == 0; });
}

}  // namespace zeb::zdl
