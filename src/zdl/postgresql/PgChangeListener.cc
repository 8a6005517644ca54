#include "zdl/postgresql/PgChangeListener.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "zdl/base/CZDLException.h"
#include "zdl/postgresql/PgConnection.h"

namespace zeb::zdl {

namespace {

// Pause between connection attempts while the server cannot be reached.
constexpr int kRetryMs = 500;
// Pause after the server refused LISTEN (in recovery), until it may have been promoted.
constexpr int kRefusedRetryMs = 5000;
// A connection attempt that takes longer is given up and made again.
constexpr int kConnectTimeoutMs = 10000;

struct ConnectionCloser {
  void operator()(PGconn* conn) const { PQfinish(conn); }
};
using Connection = std::unique_ptr<PGconn, ConnectionCloser>;

void IgnoreNotice(void*, const char*) {}

}  // namespace

PgChangeListener::PgChangeListener(std::string location, std::string token, ChangeHandler onChange,
                                   GapHandler onGap)
    : location_(std::move(location)), token_(std::move(token)), onChange_(std::move(onChange)),
      onGap_(std::move(onGap)) {
  if (pipe2(stopPipe_, O_CLOEXEC) != 0) {
    throw CZDLException(kZDLGeneralError, std::string("Cannot start the change listener: ") + std::strerror(errno));
  }
  thread_ = std::thread([this] { Run(); });
}

PgChangeListener::~PgChangeListener() {
  const char stop = 'x';
  while (write(stopPipe_[1], &stop, 1) < 0 && errno == EINTR) {
  }
  thread_.join();
  close(stopPipe_[0]);
  close(stopPipe_[1]);
}

bool PgChangeListener::ParsePayload(const std::string& payload, std::string* token, std::vector<std::string>* tables) {
  const std::size_t blank = payload.find(' ');
  if (blank == std::string::npos || blank == 0) return false;
  *token = payload.substr(0, blank);
  tables->clear();
  std::size_t start = blank + 1;
  while (start < payload.size()) {
    std::size_t comma = payload.find(',', start);
    if (comma == std::string::npos) comma = payload.size();
    if (comma > start) tables->push_back(payload.substr(start, comma - start));
    start = comma + 1;
  }
  return true;
}

bool PgChangeListener::Wait(int fd, bool forWrite, int timeoutMs) {
  pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0}};
  const nfds_t count = fd < 0 ? 1 : 2;
  for (;;) {
    const int ready = poll(fds, count, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    return fds[0].revents == 0;
  }
}

void PgChangeListener::Run() {
  for (;;) {
    const int pause = Listen();
    listening_.store(false, std::memory_order_release);
    if (!Wait(-1, false, pause)) return;
  }
}

int PgChangeListener::Listen() {
  const char* keywords[] = {"dbname", "fallback_application_name", nullptr};
  const char* values[] = {location_.c_str(), "zebd listener", nullptr};
  Connection conn(PQconnectStartParams(keywords, values, 1));
  if (!conn || PQstatus(conn.get()) == CONNECTION_BAD) return kRetryMs;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
  PostgresPollingStatusType state = PGRES_POLLING_WRITING;
  while (state != PGRES_POLLING_OK) {
    if (state == PGRES_POLLING_FAILED || std::chrono::steady_clock::now() > deadline) return kRetryMs;
    if (!Wait(PQsocket(conn.get()), state == PGRES_POLLING_WRITING, kRetryMs)) return 0;
    state = PQconnectPoll(conn.get());
  }
  PQsetNoticeProcessor(conn.get(), IgnoreNotice, nullptr);
  PGresult* result = PQexec(conn.get(), (std::string("LISTEN ") + kChangeChannel).c_str());
  const bool listening = PQresultStatus(result) == PGRES_COMMAND_OK;
  PQclear(result);
  if (!listening) return kRefusedRetryMs;
  // Heard from now on; what was missed before is dropped by the gap's handler.
  listening_.store(true, std::memory_order_release);
  onGap_();
  std::string token;
  std::vector<std::string> tables;
  while (Wait(PQsocket(conn.get()), false, -1)) {
    if (!PQconsumeInput(conn.get())) return kRetryMs;
    while (PGnotify* notice = PQnotifies(conn.get())) {
      if (ParsePayload(notice->extra, &token, &tables) && token != token_) onChange_(tables);
      PQfreemem(notice);
    }
  }
  return 0;
}

}  // namespace zeb::zdl
