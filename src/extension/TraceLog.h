// The request trace log: one record per request (time, client, ID, request and response texts)
// in ZEBAPI-0.txt .. ZEBAPI-49.txt of one directory, rotating when a file grows past the size
// limit. Files are written the way a text-mode stream writes them: every line feed, those inside
// the request and response texts included, becomes CR LF. A record reaches its file in one
// append; the lock covers only the choice of file, so two requests write their records at once.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>

namespace zeb {

class TraceLog {
 public:
  static constexpr std::uint64_t kDefaultLimit = 1024000;
  static constexpr unsigned kFileCount = 50;

  // limitBytes exists for tests; the server always uses kDefaultLimit.
  explicit TraceLog(std::string directory, std::uint64_t limitBytes = kDefaultLimit);
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // Creates the directory itself (not its parents); failures are ignored.
  void CreateDirectory() const;

  // What became of one record.
  struct Written {
    std::size_t bytes = 0;  // what reached the file
    bool whole = false;     // all of the record did
    int error = 0;          // the errno that stopped it, when it did not
  };

  // Writes one record and flushes it. A file that cannot be opened drops the record, and a full
  // disk cuts it short; the request goes on either way, and the outcome says what happened.
  Written WriteTraceRecord(const std::string& requestText, std::uint32_t requestId, std::time_t requestTime,
                           const std::string& responseText, const std::string& clientAddress,
                           const std::string& clientUser);

  void CloseTraceLog();

  const std::string& directory() const { return directory_; }

 private:
  // An open trace file; closed once the log and every write under way have let go of it.
  struct File;

  std::string FileName(unsigned number) const;
  void Open();
  // Lets go of the open file; records still being written to it finish first.
  void Close();
  // Appends a whole record to the current file.
  Written Append(const std::string& record);

  const std::string directory_;
  const std::uint64_t limit_;
  std::mutex mutex_;  // guards the members below
  std::string currentFile_;
  unsigned rotation_ = 0;
  std::shared_ptr<File> file_;
  std::uint64_t size_ = 0;      // bytes in the open file, the records still being written included
  std::weak_ptr<File> closed_;  // the file last closed, while records are still being written to it
  // When an append next asks the file for its real size (steady clock, nanoseconds).
  std::atomic<std::int64_t> nextSizeCheck_{0};
};

}  // namespace zeb
