#include "zdl/base/DatabaseWait.h"

#include <gtest/gtest.h>

namespace zeb::zdl {
namespace {

using std::chrono::seconds;

TEST(BackEndGate, RefusesWaitsBeyondTheLimitWithItsBusyText) {
  BackEndGate gate("busy or unreachable", CZDLException::Origin::kDirectory);
  BackEndGate::SetLimit(2);
  {
    BackEndGate::Wait first(gate), second(gate);
    EXPECT_EQ(2u, gate.waiting());
    try {
      BackEndGate::Wait third(gate);
      ADD_FAILURE() << "a third wait was let in";
    } catch (const CZDLException& error) {
      EXPECT_EQ(kZDLDatabaseUnavailable, error.GetExceptionID());
      EXPECT_EQ("busy or unreachable", error.GetExceptionStr());
      EXPECT_EQ(CZDLException::Origin::kDirectory, error.origin());
    }
    EXPECT_EQ(2u, gate.waiting());
  }
  EXPECT_EQ(0u, gate.waiting());
  BackEndGate::Wait again(gate);
  BackEndGate::SetLimit(32);
}

TEST(CZDLDeadline, BoundsTheTimeLeftAndGivesTheOuterOneBack) {
  EXPECT_FALSE(CurrentDeadline());
  EXPECT_EQ(seconds(10), TimeLeft(seconds(10)));
  {
    const CZDLDeadline outer(seconds(60));
    EXPECT_EQ(seconds(10), TimeLeft(seconds(10)));
    {
      const CZDLDeadline inner(seconds(0));
      EXPECT_EQ(DeadlineClock::duration::zero(), TimeLeft(seconds(10)));
    }
    EXPECT_LT(seconds(59), TimeLeft(seconds(100)));
  }
  EXPECT_FALSE(CurrentDeadline());
}

}  // namespace
}  // namespace zeb::zdl
