// This node's committed events in memory: a reader gets only runs that follow on from its
// position without a gap, waits a little for an event another request thread has not handed
// over yet, and is sent to the table when one does not come or was dropped.
#include "server/CommittedEvents.h"

#include <gtest/gtest.h>

#include <string>

namespace zeb::server {
namespace {

using Clock = CommittedEvents::Clock;

zdl::ChangeEvent Event(std::int64_t id) {
  zdl::ChangeEvent event;
  event.id = id;
  event.method = "addLine";
  return event;
}

// The ids found and what the reader is told, as "1,2 table" or "- wait".
std::string Look(const CommittedEvents& committed, std::int64_t afterId, std::size_t limit = 10,
                 Clock::time_point now = Clock::now()) {
  const CommittedEvents::Lookup found = committed.After(afterId, limit, now);
  std::string text;
  for (const CommittedEvents::Event& event : found.events) text += (text.empty() ? "" : ",") + std::to_string(event->id);
  if (text.empty()) text = "-";
  if (found.readTable) text += " table";
  if (found.holeMayFill) text += " wait";
  return text;
}

TEST(CommittedEventsTest, RunsFollowOnFromThePositionWithoutAGap) {
  CommittedEvents committed;
  for (std::int64_t id : {3, 1, 2, 6, 5, 2}) committed.Add(Event(id));  // out of order, 2 twice
  EXPECT_EQ("1,2,3", Look(committed, 0));
  EXPECT_EQ("2", Look(committed, 1, 1));
  EXPECT_EQ("5,6", Look(committed, 4));
  EXPECT_EQ("-", Look(committed, 6));
  EXPECT_EQ(6, committed.Newest());
}

TEST(CommittedEventsTest, AHoleIsWaitedForThenLeftToTheTable) {
  CommittedEvents committed;
  committed.Add(Event(7));
  committed.Add(Event(9));
  const Clock::time_point now = Clock::now();
  EXPECT_EQ("- wait", Look(committed, 7, 10, now));
  EXPECT_EQ("- table", Look(committed, 7, 10, now + CommittedEvents::kHoleWait));
  // Before the first event held, the same: this node has not seen what came before it.
  EXPECT_EQ("- table", Look(committed, 3, 10, now + CommittedEvents::kHoleWait));
  committed.Add(Event(8));
  EXPECT_EQ("8,9", Look(committed, 7, 10, now + CommittedEvents::kHoleWait));
}

TEST(CommittedEventsTest, WhatTheRingDroppedIsLeftToTheTableAtOnce) {
  CommittedEvents committed(3);
  for (std::int64_t id = 1; id <= 5; ++id) committed.Add(Event(id));
  EXPECT_EQ("- table", Look(committed, 1));
  EXPECT_EQ("3,4,5", Look(committed, 2));
  committed.Add(Event(2));  // older than what was dropped: not taken again
  EXPECT_EQ("- table", Look(committed, 1));
  EXPECT_EQ(5, committed.Newest());
}

}  // namespace
}  // namespace zeb::server
