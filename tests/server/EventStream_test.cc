// The event stream with clients that read at their own pace: one behind is fed from the database
// a page at a time and never cut for it, one that keeps up but stops reading is cut at the
// bound. The refusal of pruned ids is shown by EventsEndpointTest.
#include "server/EventStream.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "support/TempDir.h"
#include "zdl/AuditLog.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/ChangeEvents.h"

namespace zeb::server {
namespace {

// A client that reads everything at once (reads) or only when told to.
class HeldSink : public EventSink {
 public:
  explicit HeldSink(bool reads = false) : reads_(reads) {}
  void Accept() override {
    Note([&] { accepted = true; });
  }
  void Refuse(std::int64_t) override {}
  void Send(std::shared_ptr<const std::string> bytes) override {
    Note([&] {
      if (!reads_) queued += bytes->size();
      text += *bytes;
    });
  }
  std::size_t Queued() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return queued;
  }
  void Cut() override {
    Note([&] { cut = true; });
  }
  bool Gone() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return cut;
  }
  void Drain() {
    Note([&] { queued = 0; });
  }
  // Waits (bounded) until the condition holds under the lock.
  bool Eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (condition()) return true;
      }
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  bool accepted = false, cut = false;
  std::size_t queued = 0;
  std::string text;

 private:
  void Note(const std::function<void()>& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change();
  }
  const bool reads_;
  mutable std::mutex mutex_;
};

class EventStreamTest : public ::testing::Test {
 protected:
  EventStreamTest() : database_(zdl::CZDLDatabase::Open(dir_ / "zeb.db")) {}

  void Append(int count) {
    zdl::CZDLSession& session = database_->Session();
    zdl::CZDLTransaction transaction(session);
    for (int i = 0; i < count; ++i) {
      zdl::ChangeEvent event;
      event.timeMicros = zdl::NowMicros();
      event.method = "addLine";
      zdl::AppendChangeEvent(session, event);
    }
    transaction.Commit();
  }

  EventStream::Options Small() {
    EventStream::Options options;
    options.pollInterval = std::chrono::milliseconds(10);
    options.maxQueuedBytes = 4000;  // some twenty frames
    return options;
  }

  test::TempDir dir_;
  std::unique_ptr<zdl::CZDLDatabase> database_;
};

TEST_F(EventStreamTest, AClientBehindGetsPagesAsItReadsAndIsNotCut) {
  Append(600);
  EventStream stream(*database_, nullptr, Small(), [](const std::string&) {});
  auto sink = std::make_shared<HeldSink>();
  stream.Add(sink, 0);
  ASSERT_TRUE(sink->Eventually([&] { return sink->accepted && sink->queued > 0; }));
  // One page while it does not read, however long it waits.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(sink->Eventually([&] { return sink->text.find("id: 200\n") != std::string::npos; }));
  EXPECT_EQ(std::string::npos, sink->text.find("id: 201\n"));
  for (int round = 0; round < 3; ++round)
    sink->Drain(), std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_TRUE(sink->Eventually([&] { return sink->text.find("id: 600\n") != std::string::npos; }));
  EXPECT_FALSE(sink->Gone());
}

TEST_F(EventStreamTest, ALiveClientThatStopsReadingIsCutAtTheBound) {
  EventStream stream(*database_, nullptr, Small(), [](const std::string&) {});
  auto reader = std::make_shared<HeldSink>(true), stuck = std::make_shared<HeldSink>();
  stream.Add(reader, std::nullopt);
  stream.Add(stuck, std::nullopt);
  ASSERT_TRUE(stuck->Eventually([&] { return stuck->accepted; }));
  for (int i = 0; i < 30; ++i) {
    Append(1);
    stream.Wake();
  }
  EXPECT_TRUE(stuck->Eventually([&] { return stuck->cut; }));
  EXPECT_TRUE(reader->Eventually([&] { return reader->text.find("id: 30\n") != std::string::npos; }));
  EXPECT_FALSE(reader->Gone());
}

// The table is read only to fill a hole in memory (the poll is far off): an event from memory
// goes out without the table, and one missing from memory comes from the table in its place.
TEST_F(EventStreamTest, MemoryFeedsClientsAndTheTableFillsItsHoles) {
  EventStream::Options options = Small();
  options.pollInterval = std::chrono::seconds(30);
  CommittedEvents committed;
  EventStream stream(*database_, &committed, options, [](const std::string&) {});
  auto sink = std::make_shared<HeldSink>(true);
  stream.Add(sink, std::nullopt);
  ASSERT_TRUE(sink->Eventually([&] { return sink->accepted; }));
  Append(3);
  std::string expected;
  zdl::ReadChangeEvents(database_->Session(), 0, 3, [&](const zdl::ChangeEvent& event) {
    expected += EventStream::Frame(event.id, zdl::ChangeEventJson(event));
    if (event.id != 2) committed.Add(event);  // 2 as if another node had committed it
  });
  zdl::ChangeEvent fourth;
  fourth.id = 4;
  fourth.method = "removeLine";
  committed.Add(fourth);  // in memory only: it can only come from there
  stream.Wake();
  expected += EventStream::Frame(4, zdl::ChangeEventJson(fourth));
  EXPECT_TRUE(sink->Eventually([&] { return sink->text == expected; })) << sink->text;
}

}  // namespace
}  // namespace zeb::server
