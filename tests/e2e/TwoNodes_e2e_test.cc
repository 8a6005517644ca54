// Two zebd processes on one PostgreSQL database, as behind a load balancer: what one writes the
// other reads, conflicting writes through both give one success and one duplicate fault, and a
// node lives through losing its database connections. Skipped unless ZEB_TEST_PG (or
// ZEB_TEST_DB) names a PostgreSQL server.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "e2e/RoutingTest.h"
#include "support/PgScratchDatabase.h"

namespace zeb::test {
namespace {

class TwoNodesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = PgScratchDatabase::ServerForTests();
    if (server_.empty()) GTEST_SKIP() << "no PostgreSQL server: set ZEB_TEST_PG (see tests/pg/cluster.sh)";
    database_ = std::make_unique<PgScratchDatabase>(server_, ZebdBuildStamp());
    a_ = std::make_unique<ZebdProcess>(std::vector<std::string>{"--db", database_->location()});
    b_ = std::make_unique<ZebdProcess>(std::vector<std::string>{"--db", database_->location()});
  }

  static std::string Call(const ZebdProcess& node, const std::string& element) {
    return PostElement(node.port(), element);
  }
  static std::string Fault(const std::string& method, int code, const std::string& message) {
    return FaultEnvelope(SchemaHost(), method, code, message);
  }
  static std::string Standard(const std::string& method, const std::string& text) {
    return StandardResponse(SchemaHost(), method, text);
  }
  static std::string GetPartition(const ZebdProcess& node, const std::string& name) {
    return Call(node, "<getRoutePartition><partitionName>" + name + "</partitionName></getRoutePartition>");
  }
  static std::string Rename(const std::string& id, const std::string& name) {
    return "<updateRoutePartition><uuid>" + id + "</uuid><newName>" + name +
           "</newName></updateRoutePartition>";
  }

  std::string server_;
  std::unique_ptr<PgScratchDatabase> database_;  // outlives the nodes
  std::unique_ptr<ZebdProcess> a_;
  std::unique_ptr<ZebdProcess> b_;
};

TEST_F(TwoNodesTest, WhatOneNodeWritesTheOtherReads) {
  const std::string id = ReturnText(Call(*a_, AddPartitionRequest("Lobby")));
  ASSERT_EQ(38u, id.size());
  EXPECT_EQ(GotPartition(id, "Lobby"), GetPartition(*b_, "LOBBY"));
  const std::string css = ReturnText(Call(*b_,
                                          "<addCSS><newCSS><name>Front</name><members><member index=\"1\">"
                                          "<routePartitionName>lobby</routePartitionName></member></members>"
                                          "</newCSS></addCSS>"));
  ASSERT_EQ(38u, css.size());
  EXPECT_EQ(Standard("updateRoutePartition", id), Call(*a_, Rename(id, "Hall")));
  EXPECT_EQ(GotPartition(id, "Hall"), GetPartition(*b_, "hall"));
  EXPECT_EQ(ResponseEnvelope(SchemaHost(), "getCSS",
                             Returned(CssElement(css, "Front", "", "Hall", CssMember(1, "Hall")))),
            Call(*a_, "<getCSS><name>front</name></getCSS>"));
  EXPECT_EQ(Fault("removeRoutePartition", 4,
                  "The Route Partition \"Hall\" cannot be removed because it is still used by a Calling Search Space "
                  "member of Calling Search Space \"Front\"."),
            Call(*b_, "<removeRoutePartition><partitionName>Hall</partitionName></removeRoutePartition>"));
}

// A node that keeps answers (for a minute here) serves them again until a change drops them: its
// own commit before it is acknowledged, the other node's once announced. A change made behind
// both nodes' backs is not announced, so the kept answer outlives it.
TEST_F(TwoNodesTest, KeptAnswersGiveWayToAnnouncedChanges) {
  a_ = std::make_unique<ZebdProcess>(std::vector<std::string>{"--db", database_->location(), "--read-cache",
                                                              "60000", "--admin-listen", "0"});
  const std::string id = ReturnText(Call(*a_, AddPartitionRequest("Desk")));
  ASSERT_EQ(38u, id.size());
  const std::string get = "<getRoutePartition><partitionId>" + id + "</partitionId></getRoutePartition>";
  EXPECT_EQ(GotPartition(id, "Desk"), Call(*a_, get));
  ASSERT_EQ("", PgRun(database_->location(), "UPDATE RoutePartition SET Name = 'Quiet' WHERE Name = 'Desk'"));
  EXPECT_EQ(GotPartition(id, "Quiet"), Call(*b_, get));
  EXPECT_EQ(GotPartition(id, "Desk"), Call(*a_, get));

  ASSERT_EQ(Standard("updateRoutePartition", id), Call(*a_, Rename(id, "Counter")));
  EXPECT_EQ(GotPartition(id, "Counter"), Call(*a_, get));

  ASSERT_EQ(Standard("updateRoutePartition", id), Call(*b_, Rename(id, "Booth")));
  EXPECT_TRUE(Eventually([&] { return Call(*a_, get) == GotPartition(id, "Booth"); }, Millis(5'000)));

  // The first get and each get after a change read the database; the get after the SQL did not.
  const std::string metrics = BodyOf(AdminRequest(a_->adminPort(), "/metrics"));
  EXPECT_LE(1, Sample(metrics, "zebd_read_cache_hits_total"));
  EXPECT_LE(3, Sample(metrics, "zebd_read_cache_misses_total"));
}

TEST_F(TwoNodesTest, TheSameNewNameThroughBothNodesAtOnceIsAddedOnce) {
  for (int round = 0; round < 10; ++round) {
    const std::string names[2] = {"Race" + std::to_string(round), "RACE" + std::to_string(round)};
    std::string answers[2];
    std::atomic<int> ready{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 2; ++i) {
      clients.emplace_back([&, i] {
        RawConnection connection((i == 0 ? *a_ : *b_).port());
        ++ready;
        while (ready < 2) std::this_thread::yield();
        connection.Send(SoapRequest(SoapEnvelope(AddPartitionRequest(names[i]))));
        answers[i] = BodyOf(connection.ReadResponse());
      });
    }
    for (auto& client : clients) client.join();
    const int winner = answers[0].find("<return>") != std::string::npos ? 0 : 1;
    const int loser = 1 - winner;
    EXPECT_EQ(Standard("addRoutePartition", ReturnText(answers[winner])), answers[winner]) << round;
    EXPECT_EQ(Fault("addRoutePartition", 3, "A Route Partition named \"" + names[loser] + "\" already exists."),
              answers[loser])
        << round;
  }
}

TEST_F(TwoNodesTest, ANodeLivesThroughLosingItsDatabase) {
  const std::string id = ReturnText(Call(*a_, AddPartitionRequest("Kept")));
  const std::string name = database_->name();  // hex digits: no quoting needed
  const std::string cut =
      "SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE datname = '" + name + "'";
  // A server restart ends every connection; the next request connects again.
  ASSERT_EQ("", PgRun(server_, cut));
  EXPECT_EQ(GotPartition(id, "Kept"), GetPartition(*a_, "Kept"));

  // While the database cannot be reached, requests are answered with the library's fault.
  ASSERT_EQ("", PgRun(server_, "ALTER DATABASE " + name + " ALLOW_CONNECTIONS false; " + cut));
  for (int attempt = 0; attempt < 2; ++attempt) {
    const std::string refused = GetPartition(*a_, "Kept");
    EXPECT_NE(std::string::npos, refused.find("<code>7</code>\r\n<message>\r\n<![CDATA[The configuration database "
                                              "cannot be used: ")) << refused;
    EXPECT_NE(std::string::npos, refused.find("<request>getRoutePartition</request>")) << refused;
  }
  ASSERT_EQ("", PgRun(server_, "ALTER DATABASE " + name + " ALLOW_CONNECTIONS true"));
  EXPECT_EQ(GotPartition(id, "Kept"), GetPartition(*a_, "Kept"));
  EXPECT_EQ(Standard("updateRoutePartition", id), Call(*b_, Rename(id, "Back")));
}

}  // namespace
}  // namespace zeb::test
