#include "server/ConnectionRegistry.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace zeb::server {
namespace {

struct FakeConnection : Connection {
  void Stop() override { stopped = true; }
  bool stopped = false;
};

class ConnectionRegistryTest : public ::testing::Test {
 protected:
  // Adds a connection from address; idleSince > 0 makes it wait for its next request.
  Admission Add(const std::string& address, std::int64_t idleSince = 0) {
    auto connection = std::make_shared<FakeConnection>();
    connection->idleSince = idleSince;
    connections_.push_back(connection);
    return registry_.TryAdd(connection, address);
  }
  FakeConnection& At(std::size_t index) { return *connections_[index]; }

  ConnectionRegistry registry_{3, 2};
  std::vector<std::shared_ptr<FakeConnection>> connections_;
};

TEST_F(ConnectionRegistryTest, AtTheCapTheLongestIdleMakesRoom) {
  ASSERT_EQ(Admission::kAdmitted, Add("a", 30));
  ASSERT_EQ(Admission::kAdmitted, Add("b", 10));
  ASSERT_EQ(Admission::kAdmitted, Add("c"));  // busy
  EXPECT_EQ(Admission::kAdmittedByEviction, Add("d"));
  EXPECT_TRUE(At(1).stopped);
  EXPECT_FALSE(At(0).stopped);
  EXPECT_EQ(3u, registry_.size());
  registry_.Remove(&At(1));  // the evicted connection's own end changes nothing
  EXPECT_EQ(3u, registry_.size());
  EXPECT_EQ(Admission::kAdmittedByEviction, Add("e"));
  EXPECT_TRUE(At(0).stopped);
  // Nobody idle any more: refused.
  EXPECT_EQ(Admission::kRefused, Add("f", 5));
  EXPECT_EQ(3u, registry_.size());
}

TEST_F(ConnectionRegistryTest, AnAddressAtItsCapMakesRoomAmongItsOwn) {
  ASSERT_EQ(Admission::kAdmitted, Add("x", 1));  // the longest idle, but of another address
  ASSERT_EQ(Admission::kAdmitted, Add("a", 20));
  ASSERT_EQ(Admission::kAdmitted, Add("a"));
  EXPECT_EQ(Admission::kAdmittedByEviction, Add("a"));
  EXPECT_TRUE(At(1).stopped);
  EXPECT_FALSE(At(0).stopped);
  EXPECT_EQ(Admission::kRefused, Add("a"));  // its other two are busy
  registry_.StopAll();
  EXPECT_TRUE(At(0).stopped && At(2).stopped && At(3).stopped);
  EXPECT_EQ(Admission::kRefused, Add("z"));
}

}  // namespace
}  // namespace zeb::server
