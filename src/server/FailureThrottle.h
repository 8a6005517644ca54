// Slows down password guessing from one client address without slowing anybody else.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

namespace zeb::server {

// Counts failed authentications per address and spaces the password checks of an address that
// has failed: after n failures, each further check from that address waits DelayAfter(n) after
// the previous one, also when they arrive in parallel. A success does not wipe the count (a
// known account must not reset the throttle for guesses at another); an address is forgotten
// after a quiet period without failures. Thread-safe.
class FailureThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  struct Policy {
    Clock::duration firstDelay = std::chrono::milliseconds(200);  // doubles with every failure
    Clock::duration maxDelay = std::chrono::seconds(10);
    Clock::duration forgetAfter = std::chrono::minutes(5);  // quiet time that clears an address
    std::size_t maxAddresses = 10000;                       // addresses remembered at once
  };

  FailureThrottle() : FailureThrottle(Policy()) {}
  explicit FailureThrottle(Policy policy) : policy_(policy) {}

  // Reserves the next password check for address and returns when it may start: now when the
  // address has no failures to remember, else no earlier than the previous reservation plus
  // the current delay.
  Clock::time_point Admit(const std::string& address, Clock::time_point now);

  // Counts a failed check of address.
  void RecordFailure(const std::string& address, Clock::time_point now);

  // The spacing between checks after `failures` failures: 0 for none, then firstDelay,
  // doubling, at most maxDelay.
  Clock::duration DelayAfter(unsigned failures) const;

  std::size_t size() const;

 private:
  struct Entry {
    unsigned failures = 0;
    Clock::time_point lastFailure;
    Clock::time_point nextCheck;  // earliest start of the next reserved check
  };

  // Makes room for one more address: drops the forgotten ones, then the longest quiet one.
  void MakeRoom(Clock::time_point now);

  const Policy policy_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;  // guarded by mutex_
};

}  // namespace zeb::server
