#include "zdl/DatabaseWait.h"

#include <atomic>

namespace zeb::zdl {

namespace {
std::atomic<WaitObserver*> gObserver{nullptr};
thread_local bool tWaiting = false;
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

}  // namespace zeb::zdl
