#include "extension/AccessGate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zeb {

namespace {

constexpr double kMaxRate = 1e6;

// A positive decimal number, all of text.
std::optional<double> PositiveNumber(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos) return std::nullopt;
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value) || value <= 0) return std::nullopt;
  return value;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

std::optional<RateLimit> RateLimit::Parse(std::string_view text) {
  std::string_view rate = text.substr(0, text.find(','));
  std::optional<double> burst;
  if (rate.size() < text.size()) {
    constexpr std::string_view kBurst = ",burst=";
    const std::string_view rest = text.substr(rate.size());
    if (rest.substr(0, kBurst.size()) != kBurst) return std::nullopt;
    burst = PositiveNumber(rest.substr(kBurst.size()));
    if (!burst || *burst < 1) return std::nullopt;
  }
  if (rate.size() > 2 && rate.substr(rate.size() - 2) == "/s") rate.remove_suffix(2);
  const std::optional<double> perSecond = PositiveNumber(rate);
  if (!perSecond || *perSecond > kMaxRate) return std::nullopt;
  return RateLimit{*perSecond, burst ? *burst : std::max(1.0, std::ceil(*perSecond))};
}

std::string RateLimit::Text() const { return Number(rate) + "/s,burst=" + Number(burst); }

double RateLimiter::Refill(Bucket& bucket, const RateLimit& limit, Clock::time_point now) {
  if (bucket.tokens < 0) {
    bucket.tokens = limit.burst;
  } else {
    const double elapsed = std::chrono::duration<double>(now - bucket.updated).count();
    bucket.tokens = std::min(limit.burst, bucket.tokens + std::max(0.0, elapsed) * limit.rate);
  }
  bucket.updated = now;
  // The seconds until one token is there.
  return bucket.tokens >= 1 ? 0 : (1 - bucket.tokens) / limit.rate;
}

RateLimiter::Verdict RateLimiter::Take(const std::string& caller, const RateLimit* all, const RateLimit* writes,
                                       bool write, Clock::time_point now) {
  if (!write) writes = nullptr;
  if (!all && !writes) return {};
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = callers_.find(caller);
  if (found == callers_.end()) {
    MakeRoom(now);
    found = callers_.emplace(caller, Caller()).first;
  }
  Caller& buckets = found->second;
  const double waitAll = all ? Refill(buckets.all, *all, now) : 0;
  const double waitWrites = writes ? Refill(buckets.writes, *writes, now) : 0;
  if (waitAll > 0 || waitWrites > 0) return {std::max(waitAll, waitWrites), waitWrites > waitAll};
  if (all) buckets.all.tokens -= 1;
  if (writes) buckets.writes.tokens -= 1;
  return {};
}

void RateLimiter::MakeRoom(Clock::time_point now) {
  if (callers_.size() < maxCallers_) return;
  // A caller quiet for a minute is forgotten; at worst it starts again with full buckets.
  for (auto it = callers_.begin(); it != callers_.end();) {
    const Clock::time_point last = std::max(it->second.all.updated, it->second.writes.updated);
    it = now - last > std::chrono::minutes(1) ? callers_.erase(it) : std::next(it);
  }
  if (callers_.size() >= maxCallers_) callers_.clear();
}

std::size_t RateLimiter::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return callers_.size();
}

AccessGate::AccessGate(std::string user, std::string address, std::optional<Role> role,
                       std::optional<RateLimit> all, std::optional<RateLimit> writes, RateLimiter& limiter)
    : user_(std::move(user)),
      address_(std::move(address)),
      role_(role),
      all_(all),
      writes_(writes),
      limiter_(limiter) {}

std::string AccessGate::Caller() const {
  return user_.empty() ? "The client " + address_ : "User \"" + user_ + "\"";
}

std::optional<AccessRefusal> AccessGate::Admit(const MethodEntry& method) {
  // The limits come first: they also bound how often a caller can be refused (each refusal
  // leaves an audit row).
  const bool write = method.role >= Role::kWrite;
  const std::string& key = user_.empty() ? address_ : user_;
  const RateLimiter::Verdict verdict = limiter_.Take(key, all_ ? &*all_ : nullptr, writes_ ? &*writes_ : nullptr,
                                                     write, RateLimiter::Clock::now());
  if (verdict.wait > 0) {
    // At most a day: a rate as small as the options allow would otherwise wait for ages.
    const long seconds = std::max(1L, static_cast<long>(std::ceil(std::min(verdict.wait, 86400.0))));
    const RateLimit& limit = verdict.writes ? *writes_ : *all_;
    return AccessRefusal{429,
                         Caller() + " is over its rate limit of " + limit.Text() +
                             (verdict.writes ? " for write and admin methods" : "") + ": retry after " +
                             std::to_string(seconds) + " s.",
                         seconds};
  }
  if (role_ && *role_ < method.role) {
    const std::string has = *role_ == Role::kNone ? "no role" : std::string("the ") + RoleName(*role_) + " role";
    return AccessRefusal{403,
                         Caller() + " may not call " + method.name + ": it needs the " + RoleName(method.role) +
                             " role, and the user has " + has + ".",
                         0};
  }
  return std::nullopt;
}

}  // namespace zeb
