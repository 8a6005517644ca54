#include "zdl/base/DatabaseWait.h"

#include <algorithm>

#include "zdl/base/CZDLException.h"

namespace zeb::zdl {

namespace {
std::atomic<WaitObserver*> gObserver{nullptr};
thread_local bool tWaiting = false;
thread_local std::optional<DeadlineClock::time_point> tDeadline;
std::atomic<long long> gRequestTimeoutMs{15'000};
std::atomic<std::size_t> gGateLimit{32};
}  // namespace

void SetWaitObserver(WaitObserver* observer) { gObserver.store(observer, std::memory_order_release); }

CZDLWait::CZDLWait() {
  if (tWaiting) return;
  tWaiting = outermost_ = true;
  observer_ = gObserver.load(std::memory_order_acquire);
  if (observer_) observer_->WaitBegins();
}

CZDLWait::~CZDLWait() {
  if (!outermost_) return;
  if (observer_) observer_->WaitEnds();
  tWaiting = false;
}

CZDLDeadline::CZDLDeadline(DeadlineClock::duration limit) : previous_(tDeadline) {
  tDeadline = DeadlineClock::now() + limit;
}

CZDLDeadline::~CZDLDeadline() { tDeadline = previous_; }

std::optional<DeadlineClock::time_point> CurrentDeadline() { return tDeadline; }

DeadlineClock::duration TimeLeft(DeadlineClock::duration cap) {
  if (!tDeadline) return cap;
  const DeadlineClock::duration left = *tDeadline - DeadlineClock::now();
  return std::clamp(left, DeadlineClock::duration::zero(), cap);
}

void SetRequestTimeout(std::chrono::milliseconds limit) { gRequestTimeoutMs.store(limit.count()); }

std::chrono::milliseconds RequestTimeout() { return std::chrono::milliseconds(gRequestTimeoutMs.load()); }

void BackEndGate::SetLimit(std::size_t limit) { gGateLimit.store(std::max<std::size_t>(limit, 1)); }

BackEndGate& BackEndGate::Enter() {
  if (waiting_.fetch_add(1, std::memory_order_acq_rel) >= gGateLimit.load(std::memory_order_relaxed)) {
    waiting_.fetch_sub(1, std::memory_order_acq_rel);
    throw CZDLException(kZDLDatabaseUnavailable, busyText_, origin_);
  }
  return *this;
}

BackEndGate::Wait::Wait(BackEndGate& gate) : gate_(gate.Enter()) {}

BackEndGate::Wait::~Wait() { gate_.waiting_.fetch_sub(1, std::memory_order_acq_rel); }

BackEndGate& DatabaseServerGate() {
  static BackEndGate gate(
      "The configuration database cannot be used: its server is busy or unreachable (too many requests are "
      "waiting for it).",
      CZDLException::Origin::kDatabase);
  return gate;
}

BackEndGate& DirectoryServerGate() {
  static BackEndGate gate(
      "The directory cannot be used: its server is busy or unreachable (too many requests are waiting for "
      "it).",
      CZDLException::Origin::kDirectory);
  return gate;
}

}  // namespace zeb::zdl
