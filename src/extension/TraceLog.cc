#include "extension/TraceLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeb {

namespace {

// Appends text as a text-mode stream writes it: each LF becomes CR LF.
void AppendTextMode(std::string& out, const std::string& text) {
  std::size_t from = 0;
  for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', from)) {
    out.append(text, from, lf - from);
    out += "\r\n";
    from = lf + 1;
  }
  out.append(text, from, std::string::npos);
}

void AppendLine(std::string& out, const std::string& text) {
  AppendTextMode(out, text);
  out += "\r\n";
}

bool FileSize(const std::string& name, std::uint64_t* size) {
  struct stat info;
  if (stat(name.c_str(), &info) != 0) return false;
  *size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

// Opens name for writing (appending or from the start) with mode 0600, also when it exists
// already with a looser one. Null when it cannot be opened.
std::FILE* OpenPrivate(const std::string& name, bool append) {
  const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0600);
  if (fd < 0) return nullptr;
  fchmod(fd, 0600);
  std::FILE* stream = fdopen(fd, append ? "ab" : "wb");
  if (!stream) close(fd);
  return stream;
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

// REQUIRES: mutex_ held, stream_ closed.
void TraceLog::Open() {
  const char* mode = "wb";
  std::uint64_t size = 0;
  if (currentFile_.empty()) {
    rotation_ = 0;
    currentFile_ = FileName(rotation_);
  } else if (FileSize(currentFile_, &size)) {
    if (size >= limit_ + 1) {
      rotation_ = (rotation_ + 1) % kFileCount;
      currentFile_ = FileName(rotation_);
    } else {
      mode = "ab";
    }
  }
  stream_ = OpenPrivate(currentFile_, mode[0] == 'a');
  size_ = 0;
  if (stream_ && mode[0] == 'a' && !FileSize(currentFile_, &size_)) size_ = 0;
}

std::size_t TraceLog::WriteTraceRecord(const std::string& requestText, std::uint32_t requestId, std::time_t requestTime,
                                const std::string& responseText, const std::string& clientAddress,
                                const std::string& clientUser) {
  char when[64] = {};
  std::tm local{};
  localtime_r(&requestTime, &local);
  std::strftime(when, sizeof when, "%m/%d/%Y-%H:%M:%S", &local);

  std::string record;
  record.reserve(requestText.size() + responseText.size() + 256);
  AppendLine(record, std::string("RequestTime: ") + when);
  AppendLine(record, "Client IP: " + clientAddress);
  AppendLine(record, "Client User ID: " + clientUser);
  AppendLine(record, "RequestID: " + std::to_string(requestId));
  AppendLine(record, "RequestContents: ");
  AppendLine(record, requestText);
  AppendLine(record, "ResponseContents: ");
  AppendLine(record, responseText);

  std::lock_guard<std::mutex> lock(mutex_);
  if (!stream_) Open();
  if (!stream_) return 0;
  const std::size_t written = std::fwrite(record.data(), 1, record.size(), stream_);
  std::fflush(stream_);
  // The file grows only by our records while it is open, so its size is counted, not asked for.
  size_ += record.size();
  if (size_ > limit_) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  return written;
}

void TraceLog::CloseTraceLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stream_) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
}

}  // namespace zeb
