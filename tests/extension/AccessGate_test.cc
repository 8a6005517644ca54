// Rate limits as the options and the host write them, and the token buckets behind them.
#include "extension/AccessGate.h"

#include <gtest/gtest.h>

namespace zeb {
namespace {

using Clock = RateLimiter::Clock;
using std::chrono::milliseconds;

TEST(RateLimitTest, ParsesRatesWithAndWithoutUnitAndBurst) {
  EXPECT_EQ((RateLimit{10, 10}), RateLimit::Parse("10"));
  EXPECT_EQ((RateLimit{2.5, 3}), RateLimit::Parse("2.5/s"));
  EXPECT_EQ((RateLimit{0.2, 1}), RateLimit::Parse("0.2/s"));
  EXPECT_EQ((RateLimit{2, 5}), RateLimit::Parse("2/s,burst=5"));
  EXPECT_EQ((RateLimit{2, 5}), RateLimit::Parse("2,burst=5"));
  EXPECT_EQ("0.5/s,burst=2", RateLimit::Parse("0.5/s,burst=2")->Text());
  EXPECT_EQ(RateLimit::Parse("2/s,burst=5"), RateLimit::Parse(RateLimit::Parse("2/s,burst=5")->Text()));
  for (const char* bad : {"", "0", "-1", "1e3", "10/m", "/s", "2/s,", "2/s,burst=0.5", "2/s,burst=", "2/s;burst=3",
                          "2/s, burst=3", "2000000", "nan", "inf", " 2"}) {
    EXPECT_EQ(std::nullopt, RateLimit::Parse(bad)) << bad;
  }
}

TEST(RateLimiterTest, BurstThenRefillAtTheRateAndTheWaitSaysWhen) {
  RateLimiter limiter;
  const RateLimit limit{2, 3};
  const Clock::time_point t0 = Clock::now();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0, limiter.Take("a", &limit, nullptr, false, t0).wait) << i;
  EXPECT_DOUBLE_EQ(0.5, limiter.Take("a", &limit, nullptr, false, t0).wait);
  EXPECT_DOUBLE_EQ(0.25, limiter.Take("a", &limit, nullptr, false, t0 + milliseconds(250)).wait);
  EXPECT_EQ(0, limiter.Take("a", &limit, nullptr, false, t0 + milliseconds(500)).wait);
  // Another caller has buckets of its own; a long pause fills up to the burst, no further.
  EXPECT_EQ(0, limiter.Take("b", &limit, nullptr, false, t0).wait);
  const Clock::time_point later = t0 + std::chrono::seconds(60);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0, limiter.Take("a", &limit, nullptr, false, later).wait);
  EXPECT_LT(0, limiter.Take("a", &limit, nullptr, false, later).wait);
}

TEST(RateLimiterTest, WritesTakeFromBothBucketsAndARefusalTakesNothing) {
  RateLimiter limiter;
  const RateLimit all{10, 2}, writes{1, 1};
  const Clock::time_point t0 = Clock::now();
  EXPECT_EQ(0, limiter.Take("p", &all, &writes, true, t0).wait);
  const RateLimiter::Verdict refused = limiter.Take("p", &all, &writes, true, t0);
  EXPECT_DOUBLE_EQ(1, refused.wait);
  EXPECT_TRUE(refused.writes);
  // The refused write took no token from the every-method bucket: one read is left.
  EXPECT_EQ(0, limiter.Take("p", &all, &writes, false, t0).wait);
  const RateLimiter::Verdict empty = limiter.Take("p", &all, &writes, false, t0);
  EXPECT_DOUBLE_EQ(0.1, empty.wait);
  EXPECT_FALSE(empty.writes);
  EXPECT_EQ(0, limiter.Take("p", nullptr, nullptr, true, t0).wait);
}

TEST(RateLimiterTest, KeepsAtMostItsCallersDroppingTheQuietOnes) {
  RateLimiter limiter(3);
  const RateLimit limit{1, 1};
  const Clock::time_point t0 = Clock::now();
  limiter.Take("old", &limit, nullptr, false, t0);
  for (const char* caller : {"a", "b"}) limiter.Take(caller, &limit, nullptr, false, t0 + std::chrono::minutes(2));
  limiter.Take("c", &limit, nullptr, false, t0 + std::chrono::minutes(2));
  EXPECT_EQ(3u, limiter.size());
  // A caller still limited is not forgotten while quieter ones are there.
  EXPECT_LT(0, limiter.Take("a", &limit, nullptr, false, t0 + std::chrono::minutes(2)).wait);
}

}  // namespace
}  // namespace zeb
