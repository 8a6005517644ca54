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
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/PgScratchDatabase.h"
#include "support/TestSecretKey.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/postgresql/PgConnection.h"

extern char** environ;

namespace zeb::test {

namespace {

using Clock = std::chrono::steady_clock;

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
    if (done == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    if (done < 0 && errno != EINTR) return -1;
    if (Clock::now() >= deadline) return kStillRunning;
    std::this_thread::sleep_for(Millis(5));
  }
}

// Waits for the child until the deadline and kills one still running then (returning -1).
int Reap(pid_t pid, Clock::time_point deadline) {
  const int code = WaitUntil(pid, deadline);
  if (code != kStillRunning) return code;
  kill(pid, SIGKILL);
  WaitUntil(pid, Clock::now() + kDefaultTimeout);
  return -1;
}

int KillAndReap(pid_t pid, Millis timeout) {
  kill(pid, SIGTERM);
  return Reap(pid, Clock::now() + timeout);
}

// Starts args[0] (searched on PATH when it has no '/') with its standard output and error
// written to the files out and err.
pid_t Spawn(std::vector<std::string> args, const std::string& out, const std::string& err) {
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + args[0] + ": " + std::string(strerror(rc)));
  return pid;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Processes

ZebdProcess::ZebdProcess(const std::vector<std::string>& extraArgs)
    : traceDir_(dir_ / "trace"), dbPath_(DatabaseArgument(dir_.path(), extraArgs, &scratch_)) {
  // zebd refuses an option given twice: a default the test gives itself is left out. Answers
  // are not kept unless a test asks: tests change the database behind zebd and read at once.
  const auto given = [&extraArgs](const std::string& option) {
    return std::any_of(extraArgs.begin(), extraArgs.end(), [&option](const std::string& arg) {
      return arg == option || arg.rfind(option + "=", 0) == 0;
    });
  };
  const std::pair<std::string, std::string> defaults[] = {{"--listen", "127.0.0.1:0"},
                                                          {"--trace-dir", traceDir_},
                                                          {"--db", dbPath_},
                                                          {"--secret-key", keyPath()},
                                                          {"--read-cache", "0"}};
  std::vector<std::string> args = {ZEBD_PATH};
  for (const auto& [option, value] : defaults) {
    if (!given(option)) args.insert(args.end(), {option, value});
  }
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  WriteTestSecretKey(keyPath());
  pid_ = Spawn(args, dir_ / "zebd.stdout", dir_ / "zebd.stderr");
  const auto deadline = Clock::now() + kDefaultTimeout;
  std::string out;
  int code = kStillRunning;
  while (code == kStillRunning && Clock::now() < deadline) {
    out = ReadFile(dir_ / "zebd.stdout");
    // With --admin-listen, the admin listener's line comes before the listening line.
    const std::size_t at = out.find("zebd listening on ");
    if (at != std::string::npos && out.find('\n', at) != std::string::npos) {
      port_ = std::atoi(out.c_str() + out.rfind(':', out.find('\n', at)) + 1);
      if (at > 0) adminPort_ = std::atoi(out.c_str() + out.rfind(':', at) + 1);
      if (!given("--tls-cert") && !given("--auth-file")) NoteSchemaSource(port_);
      return;
    }
    code = WaitUntil(pid_, std::min(deadline, Clock::now() + Millis(5)));
  }
  if (code == kStillRunning) KillAndReap(pid_, Millis(2000));
  throw std::runtime_error("zebd printed no listening line (got '" + out + "'); stderr:\n" + StderrText());
}

// The scratch database and the directory go after the process.
ZebdProcess::~ZebdProcess() { Stop(); }

std::unique_ptr<zdl::CZDLDatabase> ZebdProcess::OpenDatabase() const {
  return zdl::CZDLDatabase::Open(dbPath_, TestSecretKey());
}

int ZebdProcess::Stop(Millis timeout) {
  if (pid_ > 0) exitCode_ = KillAndReap(std::exchange(pid_, -1), timeout);
  return exitCode_;
}

void ZebdProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

std::string ZebdProcess::StderrText() const { return ReadFile(dir_ / "zebd.stderr"); }

std::string ZebdProcess::TraceFile(const std::string& name) const { return ReadFile(traceDir_ + "/" + name); }

std::string ZebdBuildStamp() {
  struct stat info {};
  if (stat(ZEBD_PATH, &info) != 0) return "";
  return std::to_string(info.st_mtime) + ":" + std::to_string(info.st_size);
}

CommandResult RunCommand(const std::vector<std::string>& args, Millis timeout) {
  TempDir dir;
  const int code = Reap(Spawn(args, dir / "out", dir / "err"), Clock::now() + timeout);
  return {code, ReadFile(dir / "out"), ReadFile(dir / "err")};
}

CommandResult RunZebd(const std::vector<std::string>& args, Millis timeout) {
  std::vector<std::string> argv = {ZEBD_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv, timeout);
}

// ---------------------------------------------------------------------------------------------
// RawConnection

RawConnection::RawConnection(int port, const std::string& sourceAddress) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::runtime_error("socket: " + std::string(strerror(errno)));
  sockaddr_in source{};
  source.sin_family = AF_INET;
  sockaddr_in address = source;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (inet_pton(AF_INET, sourceAddress.c_str(), &source.sin_addr) != 1 ||
      bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
      connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::string error = strerror(errno);
    close(fd_);
    throw std::runtime_error("connect from " + sourceAddress + " to port " + std::to_string(port) + ": " + error);
  }
  // Small pieces must leave at once for the slow-sender tests; sends must not block forever.
  int on = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  timeval sendTimeout{kDefaultTimeout.count() / 1000, 0};
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
}

RawConnection::~RawConnection() { close(fd_); }

long RawConnection::Write(const char* data, std::size_t size) {
  ssize_t n = send(fd_, data, size, MSG_NOSIGNAL);
  return n < 0 && errno == EINTR ? kRetry : n;
}

long RawConnection::Read(char* data, std::size_t size) {
  ssize_t n = recv(fd_, data, size, 0);
  return n < 0 && errno == EINTR ? kRetry : n;
}

void RawConnection::EndSending() { ::shutdown(fd_, SHUT_WR); }

bool RawConnection::Send(std::string_view bytes) {
  checker_.Sent(bytes);
  while (!bytes.empty()) {
    long n = Write(bytes.data(), bytes.size());
    if (n == kRetry) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool RawConnection::SendSlowly(std::string_view bytes, std::size_t chunk, Millis pause) {
  for (; !bytes.empty(); bytes.remove_prefix(std::min(chunk, bytes.size()))) {
    if (!Send(bytes.substr(0, chunk))) return false;
    if (bytes.size() > chunk) std::this_thread::sleep_for(pause);
  }
  return true;
}

bool RawConnection::ReceiveMore(Clock::time_point deadline) {
  while (!closed_) {
    if (!Buffered()) {
      pollfd p{fd_, POLLIN, 0};
      int ready = poll(&p, 1, RemainingMs(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;
    }
    char buf[16384];
    long n = Read(buf, sizeof buf);
    if (n == kRetry) continue;
    if (n > 0) {
      pending_.append(buf, static_cast<std::size_t>(n));
      return true;
    }
    closed_ = true;
    // An orderly close by the server leaves our end in CLOSE_WAIT, a reset leaves it CLOSED:
    // the state tells them apart even when a send has already consumed the reset error.
    tcp_info info{};
    socklen_t size = sizeof info;
    reset_ = n < 0 || (getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 && info.tcpi_state == TCP_CLOSE);
  }
  return false;
}

std::size_t RawConnection::HeaderEnd(Clock::time_point deadline) {
  std::size_t end;
  while ((end = pending_.find("\r\n\r\n")) == std::string::npos && ReceiveMore(deadline)) {
  }
  return end;
}

std::string RawConnection::Take(std::size_t size) {
  std::string taken = pending_.substr(0, size);
  pending_.erase(0, size);
  checker_.Received(taken);
  return taken;
}

std::string RawConnection::ReadResponse(Millis timeout) {
  auto deadline = Clock::now() + timeout;
  complete_ = false;
  const std::size_t headerEnd = HeaderEnd(deadline);
  if (headerEnd == std::string::npos) return std::exchange(pending_, std::string());
  // 1xx answers ("HTTP/1.1 100 Continue") and 304 Not Modified have no body; any other response
  // without a Content-Length runs to the close.
  const bool bodiless = pending_.size() > 12 && (pending_[9] == '1' || pending_.compare(9, 4, "304 ") == 0);
  const std::size_t field = pending_.find("\r\nContent-Length: ");
  if (!bodiless && field > headerEnd) {
    std::string all = ReadUntilClose(deadline);
    complete_ = closed_;
    if (complete_) checker_.Received(all);
    return all;
  }
  const std::size_t total =
      headerEnd + 4 + (bodiless ? 0 : std::strtoul(pending_.c_str() + field + 18, nullptr, 10));
  while (pending_.size() < total) {
    if (!ReceiveMore(deadline)) return std::exchange(pending_, std::string());
  }
  complete_ = true;
  return Take(total);
}

std::string RawConnection::ReadHeader(Millis timeout) {
  const std::size_t headerEnd = HeaderEnd(Clock::now() + timeout);
  return headerEnd == std::string::npos ? std::exchange(pending_, std::string()) : Take(headerEnd + 4);
}

std::string RawConnection::ReadUntilClose(Clock::time_point deadline) {
  while (ReceiveMore(deadline)) {
  }
  return std::exchange(pending_, std::string());
}

bool RawConnection::WaitClosedWithoutData(Millis timeout) {
  return ReadUntilClose(Clock::now() + timeout).empty() && closed_;
}

// ---------------------------------------------------------------------------------------------
// Requests and responses

std::string SoapRequest(std::string_view body, std::string_view extraHeaders) {
  return "POST /zebapi HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml; charset=utf-8\r\n" +
         std::string(extraHeaders) + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
         std::string(body);
}

std::string Exchange(int port, const std::string& request, Millis timeout) {
  RawConnection connection(port);
  connection.Send(request);
  return connection.ReadResponse(timeout);
}

std::string PostSoap(int port, std::string_view body) { return Exchange(port, SoapRequest(body)); }

std::string SoapEnvelope(std::string_view innerXml) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
         "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\r\n<SOAP-ENV:Body>\r\n" +
         std::string(innerXml) + "\r\n</SOAP-ENV:Body>\r\n</SOAP-ENV:Envelope>\r\n";
}

std::string BodyOf(const std::string& response) {
  auto end = response.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : response.substr(end + 4);
}

std::string StatusLineOf(const std::string& response) { return response.substr(0, response.find("\r\n")); }

std::string PostElement(int port, const std::string& element) {
  return BodyOf(PostSoap(port, SoapEnvelope(element)));
}

std::string ReturnText(const std::string& envelope) {
  const std::size_t from = envelope.find("<return>");
  const std::size_t to = envelope.find("</return>");
  return from == std::string::npos || to == std::string::npos ? "" : envelope.substr(from + 8, to - from - 8);
}

std::string AddPartitionRequest(const std::string& name, const std::string& description) {
  return "<addRoutePartition><newRoutePartition><name>" + name + "</name>" +
         (description.empty() ? "" : "<description>" + description + "</description>") +
         "</newRoutePartition></addRoutePartition>";
}

std::string AddPartition(int port, const std::string& name) {
  return ReturnText(PostElement(port, AddPartitionRequest(name)));
}

std::string AdminRequest(int port, const std::string& path, const std::string& method) {
  RawConnection connection(port);
  connection.Send(method + " " + path + " HTTP/1.1\r\nHost: zebd\r\n\r\n");
  return connection.ReadResponse();
}

double Sample(const std::string& metrics, const std::string& series) {
  const std::string key = "\n" + series + " ";
  const std::size_t at = ("\n" + metrics).find(key);
  return at == std::string::npos ? -1 : std::atof(metrics.c_str() + at + key.size() - 1);
}

::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
  const bool holds = text.find(part) != std::string::npos;
  return (holds ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
         << "\"" << part << "\" is " << (holds ? "" : "not ") << "in:\n"
         << text;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
    ++count;
  return count;
}

bool Eventually(const std::function<bool()>& condition, Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!condition()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(Millis(20));
  }
  return true;
}

}  // namespace zeb::test
