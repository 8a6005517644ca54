// HTTP Basic authentication of requests against an auth file, in two parts: a fast one on the
// I/O thread (header, user table, cache of recent successes, throttle) and the slow password
// check, which the caller runs where it does not hold up other connections.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "server/AuthFile.h"
#include "server/FailureThrottle.h"

namespace zeb::server {

class Authenticator {
 public:
  using Clock = std::chrono::steady_clock;

  struct Policy {
    Clock::duration cacheTime = std::chrono::seconds(60);  // how long a verified header is trusted
    std::size_t cacheEntries = 4096;
    FailureThrottle::Policy throttle;
  };

  enum class Verdict {
    kAccepted,  // known credentials: serve the request as attempt.user
    kRefused,   // no credentials, or not Basic ones: answer 401 at once
    kCheck,     // run Check(attempt) no earlier than attempt.notBefore, then Finish
  };

  struct Attempt {
    Verdict verdict = Verdict::kRefused;
    std::string user;
    std::string password;         // kCheck only
    std::string hash;             // kCheck: the user's hash, or a decoy for an unknown user
    bool knownUser = false;       // kCheck: a success needs the user to exist
    std::string cacheKey;         // kCheck: where a success is remembered
    Clock::time_point notBefore;  // kCheck: when the check may start
  };

  // Reads the auth file; throws std::runtime_error when it cannot. warn as for AuthFile.
  Authenticator(const std::string& authFile, AuthFile::Warn warn, Policy policy);
  Authenticator(const std::string& authFile, AuthFile::Warn warn)
      : Authenticator(authFile, std::move(warn), Policy()) {}
  Authenticator(const Authenticator&) = delete;
  Authenticator& operator=(const Authenticator&) = delete;

  // The fast part, for the value of the request's Authorization header (nullptr when it has
  // none) from the client at address. Accepts credentials verified within cacheTime whose user
  // still has the same hash; refuses a missing or malformed header; otherwise reserves a check
  // with the throttle. Thread-safe.
  Attempt Begin(const std::string_view* authorization, const std::string& address, Clock::time_point now);

  // Reads the auth file again at once (SIGHUP).
  void ReloadUsers() { file_.Reload(); }

  // The slow part: true when the attempt's password is right. Thread-safe; touches no state.
  static bool Check(const Attempt& attempt);

  // Records the outcome of Check: remembers a success, counts a failure against address.
  // Thread-safe.
  void Finish(const Attempt& attempt, bool passed, const std::string& address, Clock::time_point now);

 private:
  struct Verified {
    std::string user;
    std::string hash;
    Clock::time_point expires;
  };

  // A keyed digest of the header value: the cache holds no password, nor anything a password
  // can be tested against without the process's random key.
  std::string CacheKey(std::string_view authorization) const;
  bool IsCached(const std::string& key, const std::string& user, const std::string* hash,
                Clock::time_point now);
  void Remember(const Attempt& attempt, Clock::time_point now);

  const Policy policy_;
  AuthFile file_;
  FailureThrottle throttle_;
  unsigned char cacheSecret_[32];
  std::mutex mutex_;
  std::unordered_map<std::string, Verified> cache_;  // guarded by mutex_
};

}  // namespace zeb::server
