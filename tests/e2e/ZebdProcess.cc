#include "e2e/ZebdProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/PgScratchDatabase.h"
#include "zdl/postgresql/PgConnection.h"
#include "support/TestSecretKey.h"
#include "zdl/CZDLDatabase.h"

extern char** environ;

namespace zeb::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kListeningPrefix = "zebd listening on ";

// The one place that decides which database the tests run against.
std::string DatabaseArgument(const std::string& dir, const std::vector<std::string>& extraArgs,
                             std::unique_ptr<PgScratchDatabase>* scratch) {
  for (std::size_t i = 0; i + 1 < extraArgs.size(); ++i) {
    if (extraArgs[i] == "--db") return extraArgs[i + 1];
  }
  const char* uri = std::getenv("ZEB_TEST_DB");
  if (uri == nullptr || *uri == '\0') return dir + "/zeb.db";
  if (!zdl::IsPostgresLocation(uri)) return uri;
  *scratch = std::make_unique<PgScratchDatabase>(uri, ZebdBuildStamp());
  return (*scratch)->location();
}

std::string MakeTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zebd-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("mkdtemp: " + std::string(strerror(errno)));
  return pattern;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
  return static_cast<int>(std::max<long long>(left, 0));
}

// Waits for the child until the deadline. Returns its exit code as Stop documents, or
// kStillRunning.
constexpr int kStillRunning = -2;
int WaitUntil(pid_t pid, Clock::time_point deadline) {
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
      return -1;
    }
    if (done < 0 && errno != EINTR) return -1;
    if (Clock::now() >= deadline) return kStillRunning;
    std::this_thread::sleep_for(Millis(5));
  }
}

int KillAndReap(pid_t pid, Millis timeout) {
  kill(pid, SIGTERM);
  int code = WaitUntil(pid, Clock::now() + timeout);
  if (code != kStillRunning) return code;
  kill(pid, SIGKILL);
  WaitUntil(pid, Clock::now() + kDefaultTimeout);
  return -1;
}

std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return argv;
}

// Starts args[0] (searched on PATH when it has no '/'); the child's stdout goes to stdoutFd
// and stderr to stderrFd.
pid_t SpawnProgram(std::vector<std::string> args, int stdoutFd, int stderrFd) {
  std::vector<char*> argv = Argv(args);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
  posix_spawn_file_actions_adddup2(&actions, stderrFd, 2);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::string(strerror(rc)));
  return pid;
}

pid_t SpawnZebd(std::vector<std::string> args, int stdoutFd, int stderrFd) {
  args.insert(args.begin(), ZEBD_PATH);
  return SpawnProgram(std::move(args), stdoutFd, stderrFd);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// ZebdProcess

ZebdProcess::ZebdProcess(const std::vector<std::string>& extraArgs)
    : dir_(MakeTempDir()),
      traceDir_(dir_ + "/trace"),
      dbPath_(DatabaseArgument(dir_, extraArgs, &scratch_)),
      stderrPath_(dir_ + "/zebd.stderr") {
  std::vector<std::string> args = {"--listen",     "127.0.0.1:0", "--trace-dir", traceDir_, "--db", dbPath_,
                                   "--secret-key", keyPath()};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  try {
    WriteTestSecretKey(keyPath());
    Spawn(args);
    ReadListeningLine();
    const auto has = [&](const char* option) {
      return std::find(extraArgs.begin(), extraArgs.end(), option) != extraArgs.end();
    };
    if (!has("--tls-cert") && !has("--auth-file")) NoteSchemaSource(port_);
  } catch (...) {
    if (pid_ > 0) KillAndReap(pid_, Millis(2000));
    if (stdoutFd_ >= 0) close(stdoutFd_);
    std::filesystem::remove_all(dir_);
    throw;
  }
}

ZebdProcess::~ZebdProcess() {
  Stop();
  if (stdoutFd_ >= 0) close(stdoutFd_);
  if (std::getenv("ZEB_KEEP_TEST_DIRS") != nullptr) {
    std::cerr << "zebd test directory kept: " << dir_ << "\n";
    return;
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void ZebdProcess::Spawn(const std::vector<std::string>& args) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(strerror(errno)));
  int err = open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  try {
    if (err < 0) throw std::runtime_error("open " + stderrPath_ + ": " + strerror(errno));
    pid_ = SpawnZebd(args, out[1], err);
  } catch (...) {
    close(out[0]);
    close(out[1]);
    if (err >= 0) close(err);
    throw;
  }
  close(out[1]);
  close(err);
  stdoutFd_ = out[0];
}

void ZebdProcess::ReadListeningLine() {
  static const std::string kAdminPrefix = "zebd admin listening on ";
  auto deadline = Clock::now() + kDefaultTimeout;
  std::string text;
  for (;;) {
    while (text.find('\n') == std::string::npos) {
      pollfd p{stdoutFd_, POLLIN, 0};
      int ready = poll(&p, 1, RemainingMs(deadline));
      if (ready < 0 && errno == EINTR) continue;
      char buf[256];
      ssize_t n = ready > 0 ? read(stdoutFd_, buf, sizeof buf) : 0;
      if (n <= 0) {
        throw std::runtime_error("zebd printed no listening line (got '" + text + "'); stderr:\n" +
                                 StderrText());
      }
      text.append(buf, static_cast<std::size_t>(n));
    }
    const std::string line = text.substr(0, text.find('\n'));
    text.erase(0, line.size() + 1);
    auto colon = line.rfind(':');
    if (line.compare(0, kAdminPrefix.size(), kAdminPrefix) == 0 && colon != std::string::npos) {
      adminPort_ = std::atoi(line.c_str() + colon + 1);
      continue;
    }
    if (line.compare(0, kListeningPrefix.size(), kListeningPrefix) != 0 || colon == std::string::npos) {
      throw std::runtime_error("unexpected line from zebd: '" + line + "'");
    }
    port_ = std::atoi(line.c_str() + colon + 1);
    return;
  }
}

std::unique_ptr<zdl::CZDLDatabase> ZebdProcess::OpenDatabase() const {
  return zdl::CZDLDatabase::Open(dbPath_, TestSecretKey());
}

int ZebdProcess::Stop(Millis timeout) {
  if (pid_ > 0) {
    exitCode_ = KillAndReap(pid_, timeout);
    pid_ = -1;
  }
  return exitCode_;
}

void ZebdProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

std::string ZebdProcess::StderrText() const { return ReadFile(stderrPath_); }

std::string ZebdProcess::TraceFile(const std::string& name) const { return ReadFile(traceDir_ + "/" + name); }

std::string ZebdBuildStamp() {
  struct stat info {};
  if (stat(ZEBD_PATH, &info) != 0) return "";
  return std::to_string(info.st_mtime) + ":" + std::to_string(info.st_size);
}

CommandResult RunZebd(const std::vector<std::string>& args, Millis timeout) {
  std::vector<std::string> argv = args;
  argv.insert(argv.begin(), ZEBD_PATH);
  return RunCommand(argv, timeout);
}

CommandResult RunCommand(const std::vector<std::string>& args, Millis timeout) {
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    throw std::runtime_error("pipe failed");
  }
  pid_t pid = -1;
  try {
    pid = SpawnProgram(args, out[1], err[1]);
  } catch (...) {
    for (int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    throw;
  }
  close(out[1]);
  close(err[1]);

  CommandResult result;
  auto deadline = Clock::now() + timeout;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0 && poll(fds, 2, RemainingMs(deadline)) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (auto& p : fds) {
    if (p.fd >= 0) close(p.fd);
  }
  result.exitCode = WaitUntil(pid, deadline);
  if (result.exitCode == kStillRunning) result.exitCode = KillAndReap(pid, Millis(1000));
  return result;
}

// ---------------------------------------------------------------------------------------------
// RawConnection

RawConnection::RawConnection(int port, const std::string& sourceAddress) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::runtime_error("socket: " + std::string(strerror(errno)));
  sockaddr_in source{};
  source.sin_family = AF_INET;
  if (inet_pton(AF_INET, sourceAddress.c_str(), &source.sin_addr) != 1 ||
      bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
    std::string error = strerror(errno);
    close(fd_);
    throw std::runtime_error("bind to " + sourceAddress + ": " + error);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::string error = strerror(errno);
    close(fd_);
    throw std::runtime_error("connect to port " + std::to_string(port) + ": " + error);
  }
  // Small pieces must leave at once for the slow-sender tests; sends must not block forever.
  int on = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  timeval sendTimeout{kDefaultTimeout.count() / 1000, 0};
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
}

RawConnection::~RawConnection() { close(fd_); }

bool RawConnection::Send(std::string_view bytes) {
  checker_.Sent(bytes);
  while (!bytes.empty()) {
    ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool RawConnection::SendSlowly(std::string_view bytes, std::size_t chunk, Millis pause) {
  while (!bytes.empty()) {
    std::size_t n = std::min(chunk, bytes.size());
    if (!Send(bytes.substr(0, n))) return false;
    bytes.remove_prefix(n);
    if (!bytes.empty()) std::this_thread::sleep_for(pause);
  }
  return true;
}

void RawConnection::ShutdownWrite() { shutdown(fd_, SHUT_WR); }

namespace {

// An orderly close by the server leaves our end in CLOSE_WAIT; a reset leaves it CLOSED. The
// state tells them apart even when a send on the socket has already consumed the reset error.
bool WasReset(int fd) {
  tcp_info info{};
  socklen_t size = sizeof info;
  return getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 && info.tcpi_state == TCP_CLOSE;
}

}  // namespace

bool RawConnection::ReceiveMore(Clock::time_point deadline) {
  if (closed_) return false;
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    int ready = poll(&p, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char buf[16384];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) {
      pending_.append(buf, static_cast<std::size_t>(n));
      return true;
    }
    closed_ = true;
    reset_ = n < 0 || WasReset(fd_);
    return false;
  }
}

namespace {

// The Content-Length of a header block, or -1 when it has none.
long long ContentLengthOf(std::string_view header) {
  constexpr std::string_view kName = "content-length:";
  std::size_t lineStart = 0;
  while (lineStart < header.size()) {
    std::size_t lineEnd = header.find("\r\n", lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = header.size();
    std::string_view line = header.substr(lineStart, lineEnd - lineStart);
    if (line.size() > kName.size() &&
        std::equal(kName.begin(), kName.end(), line.begin(),
                   [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
      return std::atoll(std::string(line.substr(kName.size())).c_str());
    }
    lineStart = lineEnd + 2;
  }
  return -1;
}

// "HTTP/1.1 100 Continue" and the other 1xx answers, and 304 Not Modified, have no body.
bool IsBodilessResponse(std::string_view response) {
  auto blank = response.find(' ');
  return blank != std::string_view::npos &&
         (response.substr(blank + 1, 1) == "1" || response.substr(blank + 1, 4) == "304 ");
}

}  // namespace

std::string RawConnection::ReadResponse(Millis timeout) {
  auto deadline = Clock::now() + timeout;
  complete_ = false;
  std::size_t headerEnd;
  while ((headerEnd = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!ReceiveMore(deadline)) return std::exchange(pending_, std::string());
  }
  long long length = ContentLengthOf(std::string_view(pending_).substr(0, headerEnd));
  if (IsBodilessResponse(pending_)) length = 0;
  if (length < 0) {
    std::string all = ReadUntilClose(Millis(RemainingMs(deadline)));
    complete_ = closed_;
    if (complete_) checker_.Received(all);
    return all;
  }
  std::size_t total = headerEnd + 4 + static_cast<std::size_t>(length);
  while (pending_.size() < total) {
    if (!ReceiveMore(deadline)) return std::exchange(pending_, std::string());
  }
  complete_ = true;
  std::string response = pending_.substr(0, total);
  pending_.erase(0, total);
  checker_.Received(response);
  return response;
}

std::string RawConnection::ReadHeader(Millis timeout) {
  auto deadline = Clock::now() + timeout;
  std::size_t headerEnd;
  while ((headerEnd = pending_.find("\r\n\r\n")) == std::string::npos) {
    if (!ReceiveMore(deadline)) return std::exchange(pending_, std::string());
  }
  std::string header = pending_.substr(0, headerEnd + 4);
  pending_.erase(0, headerEnd + 4);
  checker_.Received(header);
  return header;
}

std::string RawConnection::ReadUntilClose(Millis timeout) {
  auto deadline = Clock::now() + timeout;
  while (ReceiveMore(deadline)) {
  }
  return std::exchange(pending_, std::string());
}

bool RawConnection::WaitClosedWithoutData(Millis timeout) {
  std::string data = ReadUntilClose(timeout);
  return closed_ && data.empty();
}

// ---------------------------------------------------------------------------------------------
// Requests and responses

std::string SoapRequest(std::string_view body, std::string_view extraHeaders) {
  std::string request =
      "POST /zebapi HTTP/1.1\r\n"
      "Host: 127.0.0.1\r\n"
      "Content-Type: text/xml; charset=utf-8\r\n";
  request += extraHeaders;
  request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  request += body;
  return request;
}

std::string PostSoap(int port, std::string_view body) {
  RawConnection connection(port);
  connection.Send(SoapRequest(body));
  return connection.ReadResponse();
}

std::string SoapEnvelope(std::string_view innerXml) {
  std::string envelope =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\r\n"
      "<SOAP-ENV:Body>\r\n";
  envelope += innerXml;
  envelope += "\r\n</SOAP-ENV:Body>\r\n</SOAP-ENV:Envelope>\r\n";
  return envelope;
}

std::string BodyOf(const std::string& response) {
  auto end = response.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : response.substr(end + 4);
}

std::string StatusLineOf(const std::string& response) { return response.substr(0, response.find("\r\n")); }

}  // namespace zeb::test
