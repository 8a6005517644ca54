#include "extension/TraceLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace zeb {

namespace {

constexpr std::chrono::nanoseconds kSizeCheckInterval = std::chrono::milliseconds(1);

// Appends text as a text-mode stream writes it: each LF becomes CR LF. Room for the worst case
// is made once and the lines are copied into it, since a response has a line per element.
void AppendTextMode(std::string& out, const std::string& text) {
  const std::size_t at = out.size();
  out.resize(at + 2 * text.size());
  char* const begin = &out[0];
  char* dest = begin + at;
  const char* from = text.data();
  const char* const end = from + text.size();
  for (const char* lf; (lf = static_cast<const char*>(std::memchr(from, '\n', end - from))); from = lf + 1) {
    std::memcpy(dest, from, lf - from);
    dest += lf - from;
    *dest++ = '\r';
    *dest++ = '\n';
  }
  std::memcpy(dest, from, end - from);
  out.resize(dest + (end - from) - begin);
}

void AppendLine(std::string& out, const std::string& text) {
  AppendTextMode(out, text);
  out += "\r\n";
}

// The record's time as written; requests of the same second on a thread share one formatting.
const char* RecordTime(std::time_t requestTime) {
  thread_local std::time_t formatted = -1;
  thread_local char when[64] = {};
  if (requestTime != formatted) {
    std::tm local{};
    localtime_r(&requestTime, &local);
    std::strftime(when, sizeof when, "%m/%d/%Y-%H:%M:%S", &local);
    formatted = requestTime;
  }
  return when;
}

// A thread's record buffer keeps the capacity of a usual record, not of its largest.
constexpr std::size_t kKeptRecordBytes = 64 * 1024;

bool FileSize(const std::string& name, std::uint64_t* size) {
  struct stat info;
  if (stat(name.c_str(), &info) != 0) return false;
  *size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

// Opens name for appending (after what it holds, or from the start) with mode 0600, also when it
// exists already with a looser one. -1 when it cannot be opened. A file started from the start is
// removed and made anew rather than truncated: ext4 writes a truncated file back as soon as it is
// closed (its guard for files replaced by truncation), which the request that rotates would pay.
int OpenPrivate(const std::string& name, bool keep) {
  if (!keep) unlink(name.c_str());
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_APPEND | (keep ? 0 : O_TRUNC), 0600);
  if (fd >= 0) fchmod(fd, 0600);
  return fd;
}

// Writes all of text, or as much as the file takes.
TraceLog::Written WriteAll(int fd, const std::string& text) {
  TraceLog::Written written;
  while (written.bytes < text.size()) {
    const ssize_t n = write(fd, text.data() + written.bytes, text.size() - written.bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      written.error = n < 0 ? errno : ENOSPC;
      return written;
    }
    written.bytes += static_cast<std::size_t>(n);
  }
  written.whole = true;
  return written;
}

}  // namespace

TraceLog::TraceLog(std::string directory, std::uint64_t limitBytes)
    : directory_(std::move(directory)), limit_(limitBytes) {}

TraceLog::~TraceLog() { CloseTraceLog(); }

// Trace records hold whole requests: only the owner may list or read them.
void TraceLog::CreateDirectory() const { mkdir(directory_.c_str(), 0700); }

std::string TraceLog::FileName(unsigned number) const {
  return directory_ + "/ZEBAPI-" + std::to_string(number) + ".txt";
}

struct TraceLog::File {
  explicit File(int descriptor) : fd(descriptor) {}
  ~File() { close(fd); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  const int fd;
  std::atomic<std::uint64_t> writing{0};  // bytes of records being written, not yet in the file
};

// REQUIRES: mutex_ held, no file open.
void TraceLog::Open() {
  bool keep = false;
  std::uint64_t size = 0;
  // The last record of the file closed last may still be on its way into it.
  const std::shared_ptr<File> closed = closed_.lock();
  const std::uint64_t inFlight = closed ? closed->writing.load() : 0;
  if (currentFile_.empty()) {
    rotation_ = 0;
    currentFile_ = FileName(rotation_);
  } else if (!FileSize(currentFile_, &size)) {
    // The file is gone (removed from outside): it is started again under the same name.
  } else if (size + inFlight >= limit_ + 1) {
    rotation_ = (rotation_ + 1) % kFileCount;
    currentFile_ = FileName(rotation_);
  } else {
    // Not full (emptied from outside since it was closed, say): records go on into it.
    keep = true;
  }
  const int fd = OpenPrivate(currentFile_, keep);
  if (fd < 0) return;
  file_ = std::make_shared<File>(fd);
  size_ = keep ? size + inFlight : 0;
}

TraceLog::Written TraceLog::WriteTraceRecord(const std::string& requestText, std::uint32_t requestId,
                                             std::time_t requestTime, const std::string& responseText,
                                             const std::string& clientAddress,
                                             const std::string& clientUser) {
  thread_local std::string record;
  record.clear();
  record.reserve(2 * (requestText.size() + responseText.size()) + 256);
  record += "RequestTime: ";
  record += RecordTime(requestTime);
  record += "\r\n";
  AppendLine(record, "Client IP: " + clientAddress);
  AppendLine(record, "Client User ID: " + clientUser);
  record += "RequestID: ";
  record += std::to_string(requestId);
  record += "\r\nRequestContents: \r\n";
  AppendLine(record, requestText);
  record += "ResponseContents: \r\n";
  AppendLine(record, responseText);
  const Written written = Append(record);
  if (record.capacity() > kKeptRecordBytes) std::string().swap(record);
  return written;
}

TraceLog::Written TraceLog::Append(const std::string& record) {
  std::shared_ptr<File> file;
  bool last = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) Open();
    if (!file_) {
      Written dropped;
      dropped.error = errno;
      return dropped;
    }
    file = file_;
    // The file grows by our records while it is open, so its size is counted. The record that
    // takes it past the limit is its last: later ones open the next file while this one is
    // still being written. Before closing, the file itself is asked: emptied from outside (a
    // copy-then-truncate rotation) or cut short by a full disk, it holds less than was counted
    // and goes on taking records until it really is past the limit. The records still being
    // written are counted before the file is asked: one that lands in between is then counted
    // twice (the file closes a record early), never missed.
    size_ += record.size();
    if (size_ > limit_) {
      const std::uint64_t inFlight = file->writing.load();
      struct stat info;
      if (fstat(file->fd, &info) == 0) {
        const std::uint64_t real = static_cast<std::uint64_t>(info.st_size) + inFlight + record.size();
        if (real < size_) size_ = real;
      }
    }
    last = size_ > limit_;
    if (last) Close();
    file->writing += record.size();
  }
  // Every record goes in one append, so records written at once land whole, one after another.
  const Written written = WriteAll(file->fd, record);
  // Where the append left the file is its size at that moment, growth from outside included: a
  // file grown from outside is closed after the first record that finds it past the limit.
  // Asking costs a system call (about a microsecond, a twentieth of a small request), so it is
  // asked at most once a millisecond: every record while requests are few, and under load the
  // file goes past the limit by at most a millisecond of records. Asked here, outside the lock.
  off_t end = 0;
  const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
  if (!last && now >= nextSizeCheck_.load(std::memory_order_relaxed)) {
    nextSizeCheck_.store(now + kSizeCheckInterval.count(), std::memory_order_relaxed);
    end = lseek(file->fd, 0, SEEK_CUR);
  }
  file->writing -= record.size();
  if (end > 0 && static_cast<std::uint64_t>(end) > limit_) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_ == file) Close();
  }
  return written;
}

// REQUIRES: mutex_ held.
void TraceLog::Close() {
  closed_ = file_;
  file_.reset();
}

void TraceLog::CloseTraceLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  Close();
}

}  // namespace zeb
