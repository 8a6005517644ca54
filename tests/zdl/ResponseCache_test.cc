#include "zdl/ResponseCache.h"

#include <gtest/gtest.h>

#include <string>

namespace zeb::zdl {
namespace {

using std::chrono::milliseconds;

TEST(ResponseCache, AHitCarriesItsOwnTokenWhereTheStoredOneWas) {
  ResponseCache cache;
  cache.SetMaxAge(milliseconds(60'000));
  cache.Store(cache.Generation(), "getPhone\nA", "<v>{T1}</v><w>{T1}x</w>", "{T1}");
  std::string answer;
  ASSERT_TRUE(cache.Find("getPhone\nA", "{T2}", &answer));
  EXPECT_EQ("<v>{T2}</v><w>{T2}x</w>", answer);
  EXPECT_FALSE(cache.Find("getPhone\nB", "{T2}", &answer));
  // Without a token the answer is kept as it is.
  cache.Store(cache.Generation(), "getCSS\nA", "<c/>", "");
  ASSERT_TRUE(cache.Find("getCSS\nA", "{T3}", &answer));
  EXPECT_EQ("<c/>", answer);
}

TEST(ResponseCache, AChangeDropsAnswersAndKeepsOutThoseReadBeforeIt) {
  ResponseCache cache;
  cache.SetMaxAge(milliseconds(60'000));
  const std::uint64_t before = cache.Generation();
  cache.Store(before, "k", "old", "");
  cache.Invalidate();
  std::string answer;
  EXPECT_FALSE(cache.Find("k", "", &answer));
  // A read that began before the change ends after it: its answer may miss the change.
  cache.Store(before, "k", "old", "");
  EXPECT_FALSE(cache.Find("k", "", &answer));
  cache.Store(cache.Generation(), "k", "new", "");
  ASSERT_TRUE(cache.Find("k", "", &answer));
  EXPECT_EQ("new", answer);
}

TEST(ResponseCache, AnswersAreServedUntilTheirAgeAndNotAtAllWithoutOne) {
  ResponseCache cache;
  cache.SetMaxAge(milliseconds(100));
  const auto now = ResponseCache::Clock::now();
  cache.Store(cache.Generation(), "k", "a", "", now);
  std::string answer;
  EXPECT_TRUE(cache.Find("k", "", &answer, now + milliseconds(99)));
  EXPECT_FALSE(cache.Find("k", "", &answer, now + milliseconds(100)));

  ResponseCache none;  // keeps nothing until given an age
  EXPECT_FALSE(none.keeps());
  none.Store(none.Generation(), "k", "a", "");
  EXPECT_FALSE(none.Find("k", "", &answer));
}

TEST(ResponseCache, SizeIsBounded) {
  ResponseCache cache;
  cache.SetMaxAge(milliseconds(60'000));
  std::string answer;
  cache.Store(cache.Generation(), "big", std::string(ResponseCache::kMaxAnswer + 1, 'x'), "");
  EXPECT_FALSE(cache.Find("big", "", &answer));
  // Past the total, the cache starts afresh: the first answers are gone, the last is kept.
  const std::string piece(ResponseCache::kMaxAnswer, 'y');
  const std::size_t fit = ResponseCache::kMaxBytes / (piece.size() + 8);
  for (std::size_t i = 0; i <= fit; ++i) cache.Store(cache.Generation(), "k" + std::to_string(i), piece, "");
  EXPECT_FALSE(cache.Find("k0", "", &answer));
  EXPECT_TRUE(cache.Find("k" + std::to_string(fit), "", &answer));
}

}  // namespace
}  // namespace zeb::zdl
