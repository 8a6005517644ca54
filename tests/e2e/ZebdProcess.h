// End-to-end test harness: runs the real zebd binary on a free loopback port in a fresh
// temporary directory, and talks raw HTTP to it over plain sockets.
//
//   ZebdProcess zebd({"--idle-timeout", "2"});
//   std::string response = PostSoap(zebd.port(), SoapEnvelope("<getPhone>...</getPhone>"));
//
// Every wait is bounded (kDefaultTimeout unless given), so a broken server fails a test
// instead of hanging it. Failures to start throw std::runtime_error with zebd's stderr.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/ServedSchema.h"
#include "support/TempDir.h"

namespace zeb::zdl {
class CZDLDatabase;
}  // namespace zeb::zdl

namespace zeb::test {

class PgScratchDatabase;

using Millis = std::chrono::milliseconds;

// Generous, for sanitizer builds on a busy machine; a healthy server answers in milliseconds.
constexpr Millis kDefaultTimeout{10'000};

// Milliseconds since start, as a number so that failed comparisons print readably.
inline long long ElapsedMs(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start).count();
}

// A running zebd. Not copyable; the destructor stops it and removes its directory.
class ZebdProcess {
 public:
  // Starts zebd with --listen 127.0.0.1:0, --trace-dir, --db and --secret-key inside a new
  // temporary directory (each left out when extraArgs gives it), then extraArgs, and waits for its
  // listening line. --db is a fresh database on the PostgreSQL server ZEB_TEST_DB names, the
  // value of ZEB_TEST_DB when that is a path, else a file in the directory; a --db of
  // extraArgs wins.
  explicit ZebdProcess(const std::vector<std::string>& extraArgs = {});
  ~ZebdProcess();
  ZebdProcess(const ZebdProcess&) = delete;
  ZebdProcess& operator=(const ZebdProcess&) = delete;

  int port() const { return port_; }
  // The admin listener's port (started with --admin-listen); 0 without one.
  int adminPort() const { return adminPort_; }
  const std::string& dir() const { return dir_.path(); }
  const std::string& traceDir() const { return traceDir_; }
  const std::string& dbPath() const { return dbPath_; }
  // The --secret-key file, holding TestSecretKey() (support/TestSecretKey.h).
  std::string keyPath() const { return dir_ / "zeb.key"; }
  // The database opened with its secret key, as the server has it.
  std::unique_ptr<zdl::CZDLDatabase> OpenDatabase() const;

  // Sends SIGTERM and waits for the exit (SIGKILL after the timeout). Returns the exit code,
  // 128 + N when killed by signal N, or -1 when it had to be killed; later calls return the
  // first result.
  int Stop(Millis timeout = kDefaultTimeout);
  // Sends a signal without waiting (SIGTERM to begin a shutdown that Stop then awaits).
  void Signal(int signal);

  std::string StderrText() const;
  // The contents of the trace directory's file `name` ("" when missing).
  std::string TraceFile(const std::string& name = "ZEBAPI-0.txt") const;

 private:
  TempDir dir_;
  std::string traceDir_;
  std::unique_ptr<PgScratchDatabase> scratch_;  // before dbPath_, which may name it
  std::string dbPath_;
  pid_t pid_ = -1;
  int port_ = 0;
  int adminPort_ = 0;
  int exitCode_ = -1;
};

// Identifies the zebd binary the tests run (its time and size), for caches of what it makes.
std::string ZebdBuildStamp();

// Runs a program found on PATH (argv[0]) with standard input from /dev/null, to completion;
// one still running at the timeout is killed (exitCode -1). RunZebd runs zebd with exactly
// these arguments.
struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
CommandResult RunCommand(const std::vector<std::string>& argv, Millis timeout = kDefaultTimeout);
CommandResult RunZebd(const std::vector<std::string>& args, Millis timeout = kDefaultTimeout);

// One client connection, for sending arbitrary bytes and reading raw responses; what it exchanges
// is checked against the served schema (ServedSchema.h). Not copyable; closes on destruction.
class RawConnection {
 public:
  // Connects to 127.0.0.1:port from sourceAddress (any loopback address, so that tests can
  // play several clients); throws std::runtime_error when it cannot.
  explicit RawConnection(int port, const std::string& sourceAddress = "127.0.0.1");
  virtual ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // Sends all bytes (in pieces of `chunk` bytes with `pause` between them). False when the
  // peer has gone.
  bool Send(std::string_view bytes);
  bool SendSlowly(std::string_view bytes, std::size_t chunk, Millis pause);
  // Ends this side's sending (the server reads the end of the stream); reading goes on.
  void EndSending();

  // Reads one complete response: status line, headers and a Content-Length body (up to close
  // when there is none). Returns whatever arrived before a close or the timeout when it is
  // incomplete (then complete() is false). Bytes past the response stay for the next call.
  std::string ReadResponse(Millis timeout = kDefaultTimeout);
  // Reads one response's status line and headers only: the answer to HEAD.
  std::string ReadHeader(Millis timeout = kDefaultTimeout);
  // True when the server closes the connection within the timeout without sending a byte.
  bool WaitClosedWithoutData(Millis timeout = kDefaultTimeout);

  bool complete() const { return complete_; }  // the last ReadResponse got a whole response
  bool closed() const { return closed_; }      // the server closed the connection
  bool reset() const { return reset_; }        // ... with a reset rather than an orderly close

 protected:
  // One send or receive on the connection: the bytes moved, 0 at the end of the stream, < 0 on
  // an error, or kRetry when nothing moved but the connection is fine.
  static constexpr long kRetry = -1000;
  virtual long Write(const char* data, std::size_t size);
  virtual long Read(char* data, std::size_t size);
  // Bytes that can be read without waiting for the socket.
  virtual bool Buffered() const { return false; }

  int fd_ = -1;

 private:
  // Appends what arrives before the deadline to pending_; false on close or timeout.
  bool ReceiveMore(std::chrono::steady_clock::time_point deadline);
  std::string ReadUntilClose(std::chrono::steady_clock::time_point deadline);
  // Where the header in pending_ ends ("\r\n\r\n"), waiting for it; npos on close or timeout.
  std::size_t HeaderEnd(std::chrono::steady_clock::time_point deadline);
  // Removes the first size bytes of pending_, checks them as a response, and returns them.
  std::string Take(std::size_t size);

  ExchangeChecker checker_;
  std::string pending_;  // received, not yet returned
  bool complete_ = false;
  bool closed_ = false;
  bool reset_ = false;
};

// A POST request with Content-Type text/xml and the given body, keep-alive, as raw bytes.
// extraHeaders are full header lines ending in "\r\n".
std::string SoapRequest(std::string_view body, std::string_view extraHeaders = "");
// Sends request on a new connection and returns the raw response bytes.
std::string Exchange(int port, const std::string& request, Millis timeout = kDefaultTimeout);
// POSTs the body on a new connection and returns the raw response bytes.
std::string PostSoap(int port, std::string_view body);
// A SOAP 1.1 envelope around one request element, as an administrative client sends it.
std::string SoapEnvelope(std::string_view innerXml);

// The part of a raw response after the blank line, and its status line without CR LF.
std::string BodyOf(const std::string& response);
std::string StatusLineOf(const std::string& response);

// POSTs one request element in an envelope on a new connection; returns the response body.
std::string PostElement(int port, const std::string& element);
// The text of the response's <return> element ("" when there is none).
std::string ReturnText(const std::string& envelope);
// The request that adds a route partition of the name (and the description, when one is given).
std::string AddPartitionRequest(const std::string& name, const std::string& description = "");
// Adds a route partition of the name through the zebd on port; returns its id.
std::string AddPartition(int port, const std::string& name);
// Sends a request without credentials (GET by default) for path to the admin listener on port;
// returns the whole response.
std::string AdminRequest(int port, const std::string& path, const std::string& method = "GET");
// The value of one sample line of a /metrics exposition ("name{labels}"), or -1 when absent.
double Sample(const std::string& metrics, const std::string& series);
// Whether text holds part, for EXPECT_TRUE and EXPECT_FALSE: either failure shows both.
::testing::AssertionResult Contains(const std::string& text, const std::string& part);
// How many times part occurs in text, counting from the end of each occurrence.
std::size_t Occurrences(const std::string& text, const std::string& part);
// Whether the condition holds before the timeout (asked every 20 ms).
bool Eventually(const std::function<bool()>& condition, Millis timeout = Millis(15'000));

}  // namespace zeb::test
