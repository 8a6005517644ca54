// Waits for the database that may last: a writer's turn, a lock another process holds, the sync
// of the write-ahead log, an answer from the database server. The program that runs requests
// can watch them, so that a thread waiting here does not keep other requests from running.
#pragma once

namespace zeb::zdl {

class WaitObserver {
 public:
  virtual ~WaitObserver() = default;
  // Called on the waiting thread before and after each wait; pairs never nest.
  virtual void WaitBegins() = 0;
  virtual void WaitEnds() = 0;
};

// Installs the process's observer (nullptr: none). REQUIRES: no wait is under way, and the
// observer outlives every later wait.
void SetWaitObserver(WaitObserver* observer);

// Marks a wait for the scope's duration. Inside another wait scope of the same thread it does
// nothing, so waits nested in waits are reported once.
class CZDLWait {
 public:
  CZDLWait();
  ~CZDLWait();
  CZDLWait(const CZDLWait&) = delete;
  CZDLWait& operator=(const CZDLWait&) = delete;

 private:
  bool outermost_ = false;
  WaitObserver* observer_ = nullptr;
};

}  // namespace zeb::zdl
