// The change events this node committed, kept in memory for the event stream and the webhook
// deliverer, so that they need not read the ChangeEvent table once per commit. A request's
// thread adds its event after the request's transactions committed (never before: an event
// handed over for a change that then rolled back would be an invented one), with the id the
// database gave it. Only the newest `capacity` are kept.
//
// Memory is trusted only where it cannot miss anything: ids have no gaps (ChangeEvents.h), so
// the events after a reader's position are afterId+1, afterId+2, ... and a run of them held
// here is exactly what the table would give. When afterId+1 is not held while a newer event is,
// afterId+1 is either on its way here (another request thread has committed it and not yet
// added it), or never comes (another node committed it, or its request faulted after the
// commit, or the ring dropped it): the reader waits kHoleWait for it, then reads the table.
// Events that are committed elsewhere and followed by none of this node's are found by the
// readers' own polling of the table. Thread-safe.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "zdl/ChangeEvents.h"

namespace zeb::server {

class CommittedEvents {
 public:
  using Clock = std::chrono::steady_clock;
  using Event = std::shared_ptr<const zdl::ChangeEvent>;
  static constexpr std::chrono::milliseconds kHoleWait{20};

  struct Lookup {
    std::vector<Event> events;  // afterId+1, afterId+2, ... as held, without a gap
    bool readTable = false;     // no event follows from here and some may be missing: read the table
    bool holeMayFill = false;   // afterId+1 may yet arrive: look again within kHoleWait
  };

  explicit CommittedEvents(std::size_t capacity = 4096);
  CommittedEvents(const CommittedEvents&) = delete;
  CommittedEvents& operator=(const CommittedEvents&) = delete;

  // REQUIRES: the event's transaction committed; event.id is the id the database gave it.
  void Add(zdl::ChangeEvent event);
  // At most limit events after afterId, and whether the table must fill in (see above); now is
  // the reader's clock, for the age of a hole.
  Lookup After(std::int64_t afterId, std::size_t limit, Clock::time_point now = Clock::now()) const;
  // The newest id held or dropped; 0 before the first.
  std::int64_t Newest() const;

 private:
  struct Held {
    Event event;
    Clock::time_point added;
  };

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::deque<Held> held_;        // ascending ids; guarded by mutex_
  std::int64_t dropped_ = 0;     // the newest id dropped from the front; guarded by mutex_
};

}  // namespace zeb::server
