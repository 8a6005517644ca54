#include "extension/TraceLog.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace zeb {
namespace {

using test::ReadFile;
using test::TempDir;

std::time_t FixedTime() {
  std::tm when{};
  std::istringstream("12/05/2026-09:08:07") >> std::get_time(&when, "%m/%d/%Y-%H:%M:%S");
  when.tm_isdst = -1;
  return std::mktime(&when);
}

TEST(TraceLogTest, FirstRecordOfARunReplacesFileZeroAndUsesCrLfEverywhere) {
  TempDir dir;
  { std::ofstream(dir / "ZEBAPI-0.txt") << "old run"; }
  TraceLog log(dir.path());
  log.WriteTraceRecord("<a>\n</a>", 17, FixedTime(), "<r/>\r\n", "127.0.0.1", "alice");
  log.WriteTraceRecord("", 18, FixedTime(), "", "", "");
  log.CloseTraceLog();
  EXPECT_EQ("RequestTime: 12/05/2026-09:08:07\r\nClient IP: 127.0.0.1\r\nClient User ID: alice\r\nRequestID: 17\r\n"
            "RequestContents: \r\n<a>\r\n</a>\r\nResponseContents: \r\n<r/>\r\r\n\r\n"
            "RequestTime: 12/05/2026-09:08:07\r\nClient IP: \r\nClient User ID: \r\nRequestID: 18\r\n"
            "RequestContents: \r\n\r\nResponseContents: \r\n\r\n",
            ReadFile(dir / "ZEBAPI-0.txt"));
}

// A record that cannot be written, or only in part, says so; the next one that can be is written.
TEST(TraceLogTest, ARecordLostOrCutShortSaysWhy) {
  TempDir dir;
  TraceLog missing(dir / "missing");
  TraceLog::Written written = missing.WriteTraceRecord("<a/>", 1, FixedTime(), "", "", "");
  EXPECT_EQ(0u, written.bytes);
  EXPECT_FALSE(written.whole);
  EXPECT_EQ(ENOENT, written.error);
  std::filesystem::create_directory(dir / "missing");
  written = missing.WriteTraceRecord("<a/>", 2, FixedTime(), "", "", "");
  EXPECT_TRUE(written.whole);
  EXPECT_EQ(written.bytes, ReadFile(dir / "missing/ZEBAPI-0.txt").size());

  // A file size limit stands in for a full disk: the write stops part-way with EFBIG.
  rlimit before;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &before));
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = written.bytes + 100;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  const TraceLog::Written cut = missing.WriteTraceRecord(std::string(300, 'x'), 3, FixedTime(), "", "", "");
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(100u, cut.bytes);
  EXPECT_FALSE(cut.whole);
  EXPECT_EQ(EFBIG, cut.error);
}

TEST(TraceLogTest, RecordThatCrossesTheLimitStaysWholeAndTheNextMovesOn) {
  TempDir dir;
  TraceLog log(dir.path(), 1000);
  log.WriteTraceRecord(std::string(700, 'a'), 1, FixedTime(), "", "", "");
  log.WriteTraceRecord(std::string(300, 'b'), 2, FixedTime(), "", "", "");  // crosses 1000
  log.WriteTraceRecord("c", 3, FixedTime(), "", "", "");
  log.CloseTraceLog();
  const std::string first = ReadFile(dir / "ZEBAPI-0.txt");
  EXPECT_NE(std::string::npos, first.find(std::string(300, 'b') + "\r\n"));
  EXPECT_GT(first.size(), 1000u);
  EXPECT_NE(std::string::npos, ReadFile(dir / "ZEBAPI-1.txt").find("RequestID: 3\r\n"));
  // A full file removed from outside is started again under its own name, not the next.
  log.WriteTraceRecord(std::string(1000, 'd'), 4, FixedTime(), "", "", "");
  std::filesystem::remove(dir / "ZEBAPI-1.txt");
  log.WriteTraceRecord("e", 5, FixedTime(), "", "", "");
  log.CloseTraceLog();
  EXPECT_NE(std::string::npos, ReadFile(dir / "ZEBAPI-1.txt").find("RequestID: 5\r\n"));
  EXPECT_FALSE(std::filesystem::exists(dir / "ZEBAPI-2.txt"));
}

// A file emptied from outside (copy-then-truncate rotation) goes on until it really is full.
TEST(TraceLogTest, FileEmptiedFromOutsideTakesRecordsUntilItIsReallyFull) {
  TempDir dir;
  TraceLog log(dir.path(), 1000);
  log.WriteTraceRecord(std::string(700, 'a'), 1, FixedTime(), "", "", "");
  std::filesystem::resize_file(dir / "ZEBAPI-0.txt", 0);
  // 1,600 bytes written, 800 in the file:
  log.WriteTraceRecord(std::string(700, 'b'), 2, FixedTime(), "", "", "");
  log.WriteTraceRecord("c", 3, FixedTime(), "", "", "");
  log.WriteTraceRecord(std::string(200, 'd'), 4, FixedTime(), "", "", "");  // really past 1000
  log.WriteTraceRecord("e", 5, FixedTime(), "", "", "");
  log.CloseTraceLog();
  const std::string first = ReadFile(dir / "ZEBAPI-0.txt");
  EXPECT_EQ(0u, first.find("RequestTime: 12/05/2026-09:08:07\r\nClient IP: \r\nClient User ID: \r\nRequestID: 2"));
  EXPECT_NE(std::string::npos, first.find("RequestID: 4\r\n"));
  EXPECT_NE(std::string::npos, ReadFile(dir / "ZEBAPI-1.txt").find("RequestID: 5\r\n"));
}

// A file grown from outside is closed after the first record that finds it past the limit (the
// file is asked at most once a millisecond); a full file emptied from outside before the next
// record takes that record instead of the next file.
TEST(TraceLogTest, TheFileItselfSaysWhenItIsFull) {
  TempDir dir;
  TraceLog log(dir.path(), 1000);
  log.WriteTraceRecord("a", 1, FixedTime(), "", "", "");
  { std::ofstream(dir / "ZEBAPI-0.txt", std::ios::app) << std::string(850, 'x'); }
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  log.WriteTraceRecord("b", 2, FixedTime(), "", "", "");  // takes the file past 1000
  log.WriteTraceRecord("c", 3, FixedTime(), "", "", "");
  EXPECT_NE(std::string::npos, ReadFile(dir / "ZEBAPI-0.txt").find("RequestID: 2\r\n"));
  EXPECT_EQ(0u, ReadFile(dir / "ZEBAPI-1.txt").find("RequestTime: 12/05/2026-09:08:07\r\nClient IP: \r\n"
                                                     "Client User ID: \r\nRequestID: 3\r\n"));
  log.WriteTraceRecord(std::string(1000, 'd'), 4, FixedTime(), "", "", "");  // fills ZEBAPI-1
  std::filesystem::resize_file(dir / "ZEBAPI-1.txt", 0);
  log.WriteTraceRecord("e", 5, FixedTime(), "", "", "");
  log.CloseTraceLog();
  EXPECT_EQ(0u, ReadFile(dir / "ZEBAPI-1.txt").find("RequestTime: 12/05/2026-09:08:07\r\nClient IP: \r\n"
                                                     "Client User ID: \r\nRequestID: 5\r\n"));
  EXPECT_FALSE(std::filesystem::exists(dir / "ZEBAPI-2.txt"));
}

TEST(TraceLogTest, RotationWrapsFromFortyNineToZero) {
  TempDir dir;
  TraceLog log(dir.path(), 10);  // every record fills a file
  for (std::uint32_t id = 1; id <= 51; ++id) log.WriteTraceRecord("", id, FixedTime(), "", "", "");
  log.CloseTraceLog();
  EXPECT_NE(std::string::npos, ReadFile(dir / "ZEBAPI-49.txt").find("RequestID: 50\r\n"));
  const std::string zero = ReadFile(dir / "ZEBAPI-0.txt");
  EXPECT_NE(std::string::npos, zero.find("RequestID: 51\r\n"));
  EXPECT_EQ(std::string::npos, zero.find("RequestID: 1\r\n"));
  EXPECT_FALSE(std::filesystem::exists(dir / "ZEBAPI-50.txt"));
}

TEST(TraceLogTest, MissingDirectoryDropsRecordsSilently) {
  TempDir dir;
  TraceLog log(dir / "missing/trace");
  log.CreateDirectory();
  log.WriteTraceRecord("", 1, FixedTime(), "", "", "");
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

// Records written at once land whole, also while the file they share fills and the next opens.
TEST(TraceLogTest, ConcurrentRecordsNeverInterleaveNorGetLostAcrossRotation) {
  TempDir dir;
  TraceLog log(dir.path(), 100000);  // about ninety records a file: 18 files
  const std::time_t when = FixedTime();  // mktime is not safe to call from several threads
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&log, t, when] {
      for (int i = 0; i < 200; ++i) {
        const std::string body(500, static_cast<char>('a' + t));
        log.WriteTraceRecord(body, static_cast<std::uint32_t>(t * 1000 + i), when, body, "", "");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  log.CloseTraceLog();
  std::string text;
  for (unsigned number = 0; number < 19; ++number) {
    const std::string file = ReadFile(dir / ("ZEBAPI-" + std::to_string(number) + ".txt"));
    if (number < 17) {
      EXPECT_GE(file.size(), 100000u) << number;
    }
    EXPECT_LE(file.size(), 100000u + 1200u) << number;
    text += file;
  }
  std::size_t records = 0;
  for (std::size_t at = text.find("RequestContents: \r\n"); at != std::string::npos;
       at = text.find("RequestContents: \r\n", at + 1)) {
    const std::size_t start = at + 19;
    const char letter = text[start];
    ASSERT_EQ(std::string(500, letter) + "\r\nResponseContents: \r\n" + std::string(500, letter) + "\r\n",
              text.substr(start, 500 + 22 + 500 + 2));
    ++records;
  }
  EXPECT_EQ(1600u, records);
}

}  // namespace
}  // namespace zeb
