#include <gtest/gtest.h>

#include <sstream>

#include "zdl/CopyDatabase.h"

namespace zeb::zdl {
namespace {

TEST(CopyProgressView, DrawsABarPerTableOnATerminal) {
  std::ostringstream out;
  CopyProgressView view(out, true);
  view.Update("Device", 0, 4);
  view.Update("Device", 4, 4);
  view.Update("Empty", 0, 0);
  const std::string text = out.str();
  EXPECT_EQ(0u, text.find("\rDevice"));
  EXPECT_NE(std::string::npos, text.find("[------------------------] 0/4 rows"));
  EXPECT_NE(std::string::npos, text.find("[########################] 4/4 rows, "));
  EXPECT_NE(std::string::npos, text.find("\x1b[K\n\rEmpty"));  // the finished bar stays on its line
  EXPECT_EQ('\n', text.back());
}

TEST(CopyProgressView, WritesPlainLinesElsewhereAndLeavesTheEndToTheCountTable) {
  std::ostringstream out;
  CopyProgressView view(out, false, 0);
  view.Update("Device", 0, 1000);
  view.Update("Device", 500, 1000);
  view.Update("Device", 1000, 1000);
  EXPECT_EQ(0u,
            out.str().find("zebd copy: Device: 0/1000 rows, 0 rows/s\nzebd copy: Device: 500/1000 rows, "));
  EXPECT_NE(std::string::npos, out.str().find(" s left\n"));
  EXPECT_EQ(std::string::npos, out.str().find("1000/1000"));
}

}  // namespace
}  // namespace zeb::zdl
