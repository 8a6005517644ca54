#include "server/FailureThrottle.h"

#include <algorithm>

namespace zeb::server {

FailureThrottle::Clock::duration FailureThrottle::DelayAfter(unsigned failures) const {
  if (failures == 0) return Clock::duration::zero();
  Clock::duration delay = policy_.firstDelay;
  for (unsigned i = 1; i < failures && delay < policy_.maxDelay; ++i) delay *= 2;
  return std::min(delay, policy_.maxDelay);
}

FailureThrottle::Clock::time_point FailureThrottle::Admit(const std::string& address, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = entries_.find(address);
  if (found == entries_.end()) return now;
  Entry& entry = found->second;
  if (now - entry.lastFailure > policy_.forgetAfter) {
    entries_.erase(found);
    return now;
  }
  Clock::time_point start = std::max(now, entry.nextCheck);
  entry.nextCheck = start + DelayAfter(entry.failures);
  return start;
}

void FailureThrottle::RecordFailure(const std::string& address, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = entries_.find(address);
  if (found != entries_.end() && now - found->second.lastFailure > policy_.forgetAfter) {
    entries_.erase(found);
    found = entries_.end();
  }
  if (found == entries_.end()) {
    MakeRoom(now);
    found = entries_.emplace(address, Entry{0, now, now}).first;
  }
  Entry& entry = found->second;
  ++entry.failures;
  entry.lastFailure = now;
  entry.nextCheck = std::max(entry.nextCheck, now + DelayAfter(entry.failures));
}

void FailureThrottle::MakeRoom(Clock::time_point now) {
  if (entries_.size() < policy_.maxAddresses) return;
  for (auto it = entries_.begin(); it != entries_.end();) {
    it = now - it->second.lastFailure > policy_.forgetAfter ? entries_.erase(it) : std::next(it);
  }
  if (entries_.size() < policy_.maxAddresses || entries_.empty()) return;
  auto quietest = std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
    return a.second.lastFailure < b.second.lastFailure;
  });
  entries_.erase(quietest);
}

std::size_t FailureThrottle::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

}  // namespace zeb::server
