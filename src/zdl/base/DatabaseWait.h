// Waits for the database that may last: a writer's turn, a lock another process holds, the sync
// of the write-ahead log, an answer from the database or directory server. The program that runs
// requests can watch them, so that a thread waiting here does not keep other requests from
// running; every wait for a server is bounded by the request's deadline, and the number of
// threads waiting on one server at once is bounded too.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>

#include "zdl/base/CZDLException.h"

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

// How long a writer's wait for its turn, or for the sync of its commit, goes unreported: most
// end within a commit or two, sooner than a stand-in thread would be woken to serve meanwhile.
constexpr std::chrono::milliseconds kUnreportedWait{2};

using DeadlineClock = std::chrono::steady_clock;

// The time by which the calling thread's request must be answered, for the scope's duration
// (the deadline it replaces comes back at its end). The front end sets one per request, the
// readiness probe one per check; the back ends bound every wait for a server by it.
class CZDLDeadline {
 public:
  explicit CZDLDeadline(DeadlineClock::duration limit);
  ~CZDLDeadline();
  CZDLDeadline(const CZDLDeadline&) = delete;
  CZDLDeadline& operator=(const CZDLDeadline&) = delete;

 private:
  std::optional<DeadlineClock::time_point> previous_;
};

// The calling thread's deadline; none outside a request (start, commands, background work).
std::optional<DeadlineClock::time_point> CurrentDeadline();

// The time left before the calling thread's deadline (zero once it has passed), at most cap;
// cap when there is no deadline.
DeadlineClock::duration TimeLeft(DeadlineClock::duration cap);

// The process's request time limit (--request-timeout, 15 s unless set): PostgreSQL sessions
// take it as their statement time-out. REQUIRES: set before the first connection is made.
void SetRequestTimeout(std::chrono::milliseconds limit);
std::chrono::milliseconds RequestTimeout();

// Counts the threads waiting on one back end (a database server, a directory server) and
// refuses a wait beyond the limit, so that a back end that hangs holds only so many threads and
// the others go on serving what does not need it.
class BackEndGate {
 public:
  // busyText: the text of the fault a refused wait gets, origin: the back end it names.
  BackEndGate(const char* busyText, CZDLException::Origin origin) : busyText_(busyText), origin_(origin) {}

  // The waits allowed at once on every gate (by default 32). REQUIRES: set before requests run.
  static void SetLimit(std::size_t limit);

  // Marks a wait on the back end (and reports it through CZDLWait) for the scope's duration.
  // Throws CZDLException kZDLDatabaseUnavailable with the gate's busy text when the limit is
  // reached.
  class Wait {
   public:
    explicit Wait(BackEndGate& gate);
    ~Wait();
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;

   private:
    BackEndGate& gate_;
    CZDLWait reported_;
  };

  std::size_t waiting() const { return waiting_.load(std::memory_order_relaxed); }

 private:
  // Counts one more wait; throws when the limit is reached.
  BackEndGate& Enter();

  const char* busyText_;
  const CZDLException::Origin origin_;
  std::atomic<std::size_t> waiting_{0};
};

// The gates of the two kinds of server.
BackEndGate& DatabaseServerGate();
BackEndGate& DirectoryServerGate();

}  // namespace zeb::zdl
