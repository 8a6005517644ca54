#include "server/CommittedEvents.h"

#include <algorithm>

namespace zeb::server {

CommittedEvents::CommittedEvents(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void CommittedEvents::Add(zdl::ChangeEvent event) {
  Held held{std::make_shared<const zdl::ChangeEvent>(std::move(event)), Clock::now()};
  std::lock_guard<std::mutex> lock(mutex_);
  if (held.event->id <= dropped_) return;
  // Request threads add in about commit order: the place is at or near the back.
  auto at = held_.end();
  while (at != held_.begin() && std::prev(at)->event->id > held.event->id) --at;
  if (at != held_.begin() && std::prev(at)->event->id == held.event->id) return;
  held_.insert(at, std::move(held));
  while (held_.size() > capacity_) {
    dropped_ = held_.front().event->id;
    held_.pop_front();
  }
}

CommittedEvents::Lookup CommittedEvents::After(std::int64_t afterId, std::size_t limit,
                                               Clock::time_point now) const {
  Lookup found;
  std::lock_guard<std::mutex> lock(mutex_);
  auto at = std::lower_bound(held_.begin(), held_.end(), afterId + 1,
                             [](const Held& held, std::int64_t id) { return held.event->id < id; });
  for (std::int64_t next = afterId + 1; at != held_.end() && at->event->id == next && found.events.size() < limit;
       ++at, ++next)
    found.events.push_back(at->event);
  if (!found.events.empty()) return found;
  if (afterId < dropped_) {
    found.readTable = true;  // what was dropped may be what the reader has not had
  } else if (at != held_.end()) {
    // A newer event is held, afterId+1 is not.
    found.readTable = now - at->added >= kHoleWait;
    found.holeMayFill = !found.readTable;
  }
  return found;
}

std::int64_t CommittedEvents::Newest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return held_.empty() ? dropped_ : held_.back().event->id;
}

}  // namespace zeb::server
