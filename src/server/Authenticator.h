// HTTP Basic authentication of requests against an auth file, or against a directory server
// (binding as the user), in two parts: a fast one on the I/O thread (header, user table, cache
// of recent successes, throttle) and the slow password check, which the caller runs where it
// does not hold up other connections.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "dispatch/Role.h"
#include "server/AuthFile.h"
#include "server/FailureThrottle.h"

namespace zeb::server {

class Authenticator {
 public:
  using Clock = std::chrono::steady_clock;

  struct Policy {
    Clock::duration cacheTime = std::chrono::seconds(60);  // how long a verified header is trusted
                                                           // (a directory's: however the user changes)
    std::size_t cacheEntries = 4096;
    FailureThrottle::Policy throttle;
  };

  enum class Verdict {
    kAccepted,  // known credentials: serve the request as attempt.user
    kRefused,   // no credentials, or not Basic ones: answer 401 at once
    kCheck,     // run Check(attempt) no earlier than attempt.notBefore, then Finish
  };

  // The outcome of a password check. A directory's sign-in also gives the user's role, and
  // may find the directory unusable, which refuses nobody's password.
  struct CheckResult {
    enum class Outcome { kPassed, kFailed, kUnavailable };
    Outcome outcome = Outcome::kFailed;
    std::optional<Role> role;  // a directory's: the highest role of the user's groups
    bool knownUser = false;    // a directory's: the user's entry exists
    std::string reason;        // kUnavailable: why, in one line for the client
    bool passed() const { return outcome == Outcome::kPassed; }
  };
  // Checks a user name and password against a directory. Thread-safe; may take a while.
  using DirectoryCheck = std::function<CheckResult(const std::string& user, const std::string& password)>;

  struct Attempt {
    Verdict verdict = Verdict::kRefused;
    std::string user;
    std::optional<Role> role;     // kAccepted from a directory's sign-in: the role it gave
    std::string password;         // kCheck only
    std::string hash;             // kCheck: the user's hash, or a decoy for an unknown user
    bool knownUser = false;       // kCheck: a success needs the user to exist
    std::string cacheKey;         // kCheck: where a success is remembered
    Clock::time_point notBefore;  // kCheck: when the check may start
    const DirectoryCheck* directory = nullptr;  // kCheck: check against this, not the hash
  };

  // Reads the auth file; throws std::runtime_error when it cannot. warn as for AuthFile.
  Authenticator(const std::string& authFile, AuthFile::Warn warn, Policy policy);
  Authenticator(const std::string& authFile, AuthFile::Warn warn)
      : Authenticator(authFile, std::move(warn), Policy()) {}
  // Signs users in with directory instead of an auth file: nobody is known before a check,
  // and a success is trusted for policy.cacheTime.
  Authenticator(DirectoryCheck directory, Policy policy);
  Authenticator(const Authenticator&) = delete;
  Authenticator& operator=(const Authenticator&) = delete;

  // The fast part, for the value of the request's Authorization header (nullptr when it has
  // none) from the client at address. Accepts credentials verified within cacheTime whose user
  // still has the same hash; refuses a missing or malformed header; otherwise reserves a check
  // with the throttle. Thread-safe.
  Attempt Begin(const std::string_view* authorization, const std::string& address, Clock::time_point now);

  // Reads the auth file again at once (SIGHUP); forgets the directory's sign-ins.
  void ReloadUsers();

  // The slow part. Thread-safe; touches no state. Verify says how the check went; Check is
  // true when the password is right.
  static CheckResult Verify(const Attempt& attempt);
  static bool Check(const Attempt& attempt) { return Verify(attempt).passed(); }

  // Records the outcome of the check: remembers a success, counts a failure against address; a
  // directory that could not be used counts nothing. Thread-safe. The bool form remembers no
  // directory sign-in, whose role it does not know.
  void Finish(const Attempt& attempt, const CheckResult& result, const std::string& address, Clock::time_point now);
  void Finish(const Attempt& attempt, bool passed, const std::string& address, Clock::time_point now);

  bool directory() const { return directory_ != nullptr; }
  // The auth file; nullptr when signing in with a directory.
  AuthFile* file() { return file_.get(); }

 private:
  struct Verified {
    std::string user;
    std::string hash;
    std::optional<Role> role;
    Clock::time_point expires;
  };

  // A keyed digest of the header value: the cache holds no password, nor anything a password
  // can be tested against without the process's random key.
  std::string CacheKey(std::string_view authorization) const;
  bool IsCached(const std::string& key, const std::string& user, const std::string* hash,
                Clock::time_point now, std::optional<Role>* role);
  void Remember(const Attempt& attempt, std::optional<Role> role, Clock::time_point now);

  const Policy policy_;
  std::unique_ptr<AuthFile> file_;                  // null when signing in with a directory
  std::unique_ptr<const DirectoryCheck> directory_;  // null with an auth file
  FailureThrottle throttle_;
  unsigned char cacheSecret_[32];
  std::mutex mutex_;
  std::unordered_map<std::string, Verified> cache_;  // guarded by mutex_
};

}  // namespace zeb::server
