#include "server/TraceLoss.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace zeb::server {
namespace {

TEST(TraceLossTest, ToldOnceWhenRecordsStartToBeLostAndOnceWhenTheyArriveAgain) {
  std::vector<std::string> told;
  TraceLoss loss("/var/trace", [&told](const std::string& line) { told.push_back(line); });
  loss.OnRecord(false, 0);
  loss.OnRecord(true, ENOSPC);
  loss.OnRecord(true, ENOSPC);
  loss.OnRecord(true, ENOENT);
  loss.OnRecord(false, 0);
  loss.OnRecord(false, 0);
  loss.OnRecord(true, EACCES);
  EXPECT_EQ((std::vector<std::string>{
                "trace records are being lost: the trace directory /var/trace cannot take them (No space left on "
                "device)",
                "trace records reach the trace directory /var/trace again (lost or cut short meanwhile: 3)",
                "trace records are being lost: the trace directory /var/trace cannot take them (Permission denied)"}),
            told);

  // When the start has told already, the first lost record says nothing more.
  told.clear();
  TraceLoss toldAtStart("t", [&told](const std::string& line) { told.push_back(line); });
  toldAtStart.AlreadyLosing();
  toldAtStart.OnRecord(true, ENOENT);
  toldAtStart.OnRecord(false, 0);
  EXPECT_EQ(std::vector<std::string>{"trace records reach the trace directory t again (lost or cut short meanwhile: 1)"},
            told);
}

}  // namespace
}  // namespace zeb::server
