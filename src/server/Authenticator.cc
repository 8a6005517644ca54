#include "server/Authenticator.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <optional>
#include <stdexcept>

#include "server/BasicCredentials.h"
#include "server/PasswordHash.h"

namespace zeb::server {

Authenticator::Authenticator(const std::string& authFile, AuthFile::Warn warn, Policy policy)
    : policy_(policy), file_(std::make_unique<AuthFile>(authFile, std::move(warn))), throttle_(policy.throttle) {
  if (RAND_bytes(cacheSecret_, sizeof cacheSecret_) != 1)
    throw std::runtime_error("cannot get random bytes for the credential cache");
}

Authenticator::Authenticator(DirectoryCheck directory, Policy policy)
    : policy_(policy), directory_(std::make_unique<const DirectoryCheck>(std::move(directory))), throttle_(policy.throttle) {
  if (RAND_bytes(cacheSecret_, sizeof cacheSecret_) != 1)
    throw std::runtime_error("cannot get random bytes for the credential cache");
}

void Authenticator::ReloadUsers() {
  if (file_) return file_->Reload();
  std::lock_guard<std::mutex> lock(mutex_);
  cache_.clear();
}

std::string Authenticator::CacheKey(std::string_view authorization) const {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), cacheSecret_, sizeof cacheSecret_,
       reinterpret_cast<const unsigned char*>(authorization.data()), authorization.size(), digest, &length);
  return std::string(reinterpret_cast<const char*>(digest), length);
}

bool Authenticator::IsCached(const std::string& key, const std::string& user, const std::string* hash,
                             Clock::time_point now, std::optional<Role>* role) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = cache_.find(key);
  if (found == cache_.end()) return false;
  const Verified& verified = found->second;
  // A changed or removed entry in the auth file ends the trust at once.
  if (now >= verified.expires || hash == nullptr || verified.user != user || verified.hash != *hash) {
    cache_.erase(found);
    return false;
  }
  *role = verified.role;
  return true;
}

Authenticator::Attempt Authenticator::Begin(const std::string_view* authorization, const std::string& address,
                                            Clock::time_point now) {
  Attempt attempt;
  if (authorization == nullptr) return attempt;
  std::optional<BasicCredentials> credentials = ParseBasicAuthorization(*authorization);
  if (!credentials) return attempt;

  // A directory's users are known only by asking it; a sign-in is trusted as long as it is cached.
  static const std::string kNoHash;
  std::shared_ptr<const UserTable> users = file_ ? file_->Current() : nullptr;
  const std::string* hash = users ? users->Find(credentials->user) : &kNoHash;
  attempt.user = std::move(credentials->user);
  attempt.cacheKey = CacheKey(*authorization);
  if (IsCached(attempt.cacheKey, attempt.user, hash, now, &attempt.role)) {
    attempt.verdict = Verdict::kAccepted;
    return attempt;
  }
  attempt.verdict = Verdict::kCheck;
  attempt.password = std::move(credentials->password);
  attempt.directory = directory_.get();
  attempt.knownUser = hash != nullptr;
  attempt.hash = !users ? kNoHash : hash != nullptr ? *hash : users->decoyHash();
  attempt.notBefore = throttle_.Admit(address, now);
  return attempt;
}

Authenticator::CheckResult Authenticator::Verify(const Attempt& attempt) {
  if (attempt.directory) return (*attempt.directory)(attempt.user, attempt.password);
  // An unknown user costs the same hashing as a known one, and never passes.
  bool matches = !attempt.hash.empty() && VerifyPassword(attempt.password, attempt.hash);
  CheckResult result;
  result.knownUser = attempt.knownUser;
  if (matches && attempt.knownUser) result.outcome = CheckResult::Outcome::kPassed;
  return result;
}

void Authenticator::Finish(const Attempt& attempt, const CheckResult& result, const std::string& address,
                           Clock::time_point now) {
  switch (result.outcome) {
    case CheckResult::Outcome::kPassed:
      return Remember(attempt, result.role, now);
    case CheckResult::Outcome::kFailed:
      return throttle_.RecordFailure(address, now);
    case CheckResult::Outcome::kUnavailable:
      return;
  }
}

void Authenticator::Finish(const Attempt& attempt, bool passed, const std::string& address,
                           Clock::time_point now) {
  if (!passed) return throttle_.RecordFailure(address, now);
  if (!attempt.directory) Remember(attempt, std::nullopt, now);
}

void Authenticator::Remember(const Attempt& attempt, std::optional<Role> role, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (cache_.size() >= policy_.cacheEntries) {
    for (auto it = cache_.begin(); it != cache_.end();) {
      it = now >= it->second.expires ? cache_.erase(it) : std::next(it);
    }
    // Still full of live entries: start afresh; those clients pay one more check each.
    if (cache_.size() >= policy_.cacheEntries) cache_.clear();
  }
  cache_[attempt.cacheKey] = Verified{attempt.user, attempt.hash, role, now + policy_.cacheTime};
}

}  // namespace zeb::server
