// Writers that wait for the embedded database do not hold up reads: another process holds the
// write lock while more writers than zebd has threads queue for it.
#include <sqlite3.h>

#include <future>
#include <thread>

#include "e2e/ZebdTest.h"
#include "zdl/postgresql/PgConnection.h"

namespace zeb::test {
namespace {

class WriteQueueTest : public ZebdTest {
 protected:
  WriteQueueTest() : ZebdTest({"--threads", "2"}) {}
};

TEST_F(WriteQueueTest, ReadIsServedWhileWritersWaitForAnotherProcessesLock) {
  if (zdl::IsPostgresLocation(zebd_.dbPath())) GTEST_SKIP() << "a lock of the embedded database file";
  AddPartition("Seen");
  AddCSS("Watched", "Seen");
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(zebd_.dbPath().c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr));

  std::vector<std::future<std::string>> writers;
  for (int i = 0; i < 4; ++i) {
    writers.push_back(std::async(std::launch::async,
                                 [this, i] { return Call(AddPartitionRequest("W" + std::to_string(i))); }));
  }
  std::this_thread::sleep_for(Millis(300));
  const auto start = std::chrono::steady_clock::now();
  const std::string read = Call("<getCSS><name>Watched</name></getCSS>");
  EXPECT_LT(std::chrono::steady_clock::now() - start, Millis(2000));
  EXPECT_NE(std::string::npos, read.find("<routePartitionName>Seen</routePartitionName>")) << read;
  for (auto& writer : writers) EXPECT_EQ(std::future_status::timeout, writer.wait_for(Millis(0)));

  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr));
  sqlite3_close(other);
  for (auto& writer : writers) EXPECT_NE(std::string::npos, writer.get().find("<return>{"));
}

}  // namespace
}  // namespace zeb::test
