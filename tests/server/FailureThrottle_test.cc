#include "server/FailureThrottle.h"

#include <gtest/gtest.h>

namespace zeb::server {
namespace {

using Clock = FailureThrottle::Clock;
using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;

long long Ms(Clock::duration d) { return std::chrono::duration_cast<milliseconds>(d).count(); }

TEST(FailureThrottle, DelayDoublesFromTheFirstFailureUpToTheCap) {
  FailureThrottle throttle;
  const long long expected[] = {0, 200, 400, 800, 1600, 3200, 6400, 10000, 10000};
  for (unsigned failures = 0; failures < std::size(expected); ++failures) {
    EXPECT_EQ(expected[failures], Ms(throttle.DelayAfter(failures))) << failures;
  }
  EXPECT_EQ(10000, Ms(throttle.DelayAfter(4000000000u)));  // no overflow for absurd counts
}

TEST(FailureThrottle, SpacesTheChecksOfAFailingAddressOnly) {
  FailureThrottle throttle;
  const Clock::time_point t0 = Clock::now();
  EXPECT_EQ(t0, throttle.Admit("10.0.0.1", t0));
  throttle.RecordFailure("10.0.0.1", t0);
  throttle.RecordFailure("10.0.0.1", t0);  // two failures: 400 ms between checks

  // Parallel attempts are each given their own turn.
  EXPECT_EQ(400, Ms(throttle.Admit("10.0.0.1", t0) - t0));
  EXPECT_EQ(800, Ms(throttle.Admit("10.0.0.1", t0) - t0));
  EXPECT_EQ(1200, Ms(throttle.Admit("10.0.0.1", t0 + milliseconds(100)) - t0));
  // Another address, and the same address once the turns have passed, wait for nothing.
  EXPECT_EQ(t0, throttle.Admit("10.0.0.2", t0));
  EXPECT_EQ(t0 + seconds(2), throttle.Admit("10.0.0.1", t0 + seconds(2)));

  // A later failure pushes the next turn out from the time it happened.
  throttle.RecordFailure("10.0.0.1", t0 + seconds(3));
  EXPECT_EQ(3800, Ms(throttle.Admit("10.0.0.1", t0 + seconds(3)) - t0));
}

TEST(FailureThrottle, ForgetsAnAddressAfterAQuietPeriod) {
  FailureThrottle throttle;
  const Clock::time_point t0 = Clock::now();
  for (int i = 0; i < 5; ++i) throttle.RecordFailure("10.0.0.1", t0);
  EXPECT_LT(t0 + seconds(3), throttle.Admit("10.0.0.1", t0 + seconds(1)));
  const Clock::time_point later = t0 + minutes(5) + seconds(1);
  EXPECT_EQ(later, throttle.Admit("10.0.0.1", later));
  EXPECT_EQ(0u, throttle.size());
  // Counting starts afresh.
  throttle.RecordFailure("10.0.0.1", later);
  EXPECT_EQ(200, Ms(throttle.Admit("10.0.0.1", later) - later));
}

TEST(FailureThrottle, RemembersAtMostSoManyAddressesDroppingTheQuietest) {
  FailureThrottle::Policy policy;
  policy.maxAddresses = 3;
  policy.firstDelay = policy.maxDelay = minutes(1);  // a remembered address is still held back at the end
  FailureThrottle throttle(policy);
  const Clock::time_point t0 = Clock::now();
  throttle.RecordFailure("a", t0);
  throttle.RecordFailure("b", t0 + seconds(1));
  throttle.RecordFailure("c", t0 + seconds(2));
  throttle.RecordFailure("a", t0 + seconds(3));  // "a" is known: nothing is dropped
  EXPECT_EQ(3u, throttle.size());
  throttle.RecordFailure("d", t0 + seconds(4));  // "b" has been quiet the longest
  EXPECT_EQ(3u, throttle.size());
  const Clock::time_point t5 = t0 + seconds(5);
  EXPECT_EQ(t5, throttle.Admit("b", t5));
  EXPECT_LT(t5, throttle.Admit("a", t5));
  EXPECT_LT(t5, throttle.Admit("d", t5));
}

}  // namespace
}  // namespace zeb::server
