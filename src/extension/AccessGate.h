// Access control at the extension: the host says who the caller is, which role it has and which
// rate limits apply (server variables, below); the gate refuses a method the role does not
// allow (403) and a call over a limit (429) before the method does any database work.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "dispatch/MethodGate.h"
#include "dispatch/Role.h"

namespace zeb {

// Server variables through which the host hands the caller's access to the extension. A host
// that sets none of them controls no access: every method runs, as without these variables.
constexpr char kRoleVariable[] = "ZEB_ROLE";                       // RoleName's texts
constexpr char kRateLimitVariable[] = "ZEB_RATE_LIMIT";            // every method (RateLimit)
constexpr char kWriteRateLimitVariable[] = "ZEB_WRITE_RATE_LIMIT";  // write and admin methods

// A token bucket's size: rate tokens a second, at most burst of them saved up.
struct RateLimit {
  double rate = 0;
  double burst = 0;

  // "R", "R/s", "R,burst=B" or "R/s,burst=B": R and B positive decimals (R at most a million,
  // B at least 1); without burst, B is R rounded up. nullopt for anything else.
  static std::optional<RateLimit> Parse(std::string_view text);
  // The text Parse reads back ("2/s,burst=5").
  std::string Text() const;
  bool operator==(const RateLimit& other) const { return rate == other.rate && burst == other.burst; }
};

// Token buckets by caller: one for every method and one for the write and admin methods.
// Thread-safe; holds at most maxCallers callers (the full, quiet ones are dropped first).
class RateLimiter {
 public:
  using Clock = std::chrono::steady_clock;

  explicit RateLimiter(std::size_t maxCallers = 100000) : maxCallers_(maxCallers) {}

  struct Verdict {
    double wait = 0;      // 0: taken; else the seconds until the tokens would be there
    bool writes = false;  // the write bucket is the one that is empty
  };
  // Takes a token from the caller's every-method bucket (when all is given) and, for a write,
  // from its write bucket (when writes is given), or from none when one of them is empty.
  Verdict Take(const std::string& caller, const RateLimit* all, const RateLimit* writes, bool write,
              Clock::time_point now);
  std::size_t size() const;

 private:
  struct Bucket {
    double tokens = -1;  // < 0: not used yet, full
    Clock::time_point updated;
  };
  struct Caller {
    Bucket all, writes;
  };

  static double Refill(Bucket& bucket, const RateLimit& limit, Clock::time_point now);
  void MakeRoom(Clock::time_point now);

  const std::size_t maxCallers_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Caller> callers_;  // guarded by mutex_
};

// The gate of one request.
class AccessGate : public MethodGate {
 public:
  // user: the authenticated caller ("" without authentication, when the limits are the client
  // address's); role: nullopt when the host gives none (every method is allowed).
  AccessGate(std::string user, std::string address, std::optional<Role> role, std::optional<RateLimit> all,
             std::optional<RateLimit> writes, RateLimiter& limiter);

  std::optional<AccessRefusal> Admit(const MethodEntry& method) override;

 private:
  std::string Caller() const;

  std::string user_, address_;
  std::optional<Role> role_;
  std::optional<RateLimit> all_, writes_;
  RateLimiter& limiter_;
};

}  // namespace zeb
