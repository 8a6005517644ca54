#include "zdl/postgresql/PgConnection.h"

#include <libpq-fe.h>
#include <poll.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "zdl/base/CZDLException.h"
#include "zdl/base/DatabaseWait.h"
#include "zdl/base/DbDriver.h"

namespace zeb::zdl {

const char kChangeChannel[] = "zeb_changes";

namespace {

// How long a writer waits for another node's write transaction, as the embedded back end waits;
// the statement time-out (the request's time limit) follows.
constexpr char kSessionSettings[] = "SET lock_timeout = 10000; SET statement_timeout = ";
// A wait for the server shorter than this is not reported as one: most answers come sooner.
constexpr int kQuickWaitMs = 2;
// How long making a connection may take outside a request.
constexpr auto kConnectTimeout = std::chrono::seconds(10);
// Cancel requests sent at once for connections given up; a stopped server holds each one.
constexpr int kMaxCancels = 4;
std::atomic<int> gCancels{0};
constexpr char kNoAnswer[] =
    "The configuration database cannot be used: its server did not answer within the request's time limit.";
// Every write transaction holds this advisory lock of the database (key "ZEBW", 0x5A454257)
// until it ends, so that writers take turns across all nodes as they do on the embedded back end.
// It is tried first; only a writer that finds it taken waits for it, reporting its wait.
constexpr char kBeginWrite[] = "BEGIN; SELECT pg_try_advisory_xact_lock(1514488407)";
constexpr char kWaitForWriteLock[] = "SELECT pg_advisory_xact_lock(1514488407)";
constexpr char kBeginRead[] = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";

// Type OIDs of the result columns read back as integers.
constexpr Oid kBoolOid = 16;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kNumericOid = 1700;

void IgnoreNotice(void*, const char*) {}

std::string Trimmed(const char* text) {
  std::string result = text ? text : "";
  while (!result.empty() && std::isspace(static_cast<unsigned char>(result.back()))) result.pop_back();
  return result;
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool KeywordAt(const std::string& sql, std::size_t at, const char* word) {
  const std::size_t length = std::strlen(word);
  if (at + length > sql.size() || strncasecmp(sql.c_str() + at, word, length) != 0) return false;
  if (at > 0 && IsWordChar(sql[at - 1])) return false;
  return at + length == sql.size() || !IsWordChar(sql[at + length]);
}

std::size_t SkipBlanks(const std::string& sql, std::size_t at) {
  while (at < sql.size() && std::isspace(static_cast<unsigned char>(sql[at]))) ++at;
  return at;
}

// The end of the quoted text that starts at sql[at] (a ' or "), doubled quotes included.
std::size_t QuotedEnd(const std::string& sql, std::size_t at) {
  const char quote = sql[at];
  for (std::size_t i = at + 1; i < sql.size(); ++i) {
    if (sql[i] != quote) continue;
    if (i + 1 < sql.size() && sql[i + 1] == quote) {
      ++i;
      continue;
    }
    return i + 1;
  }
  return sql.size();
}

bool IsIntegerText(const std::string& text) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str()) return false;
  while (*end && std::isspace(static_cast<unsigned char>(*end))) ++end;
  return *end == '\0';
}

bool IsIntegerType(Oid type) { return type == kInt8Oid || type == kInt4Oid || type == kInt2Oid; }

// Waits until fd is ready for events, at most timeoutMs (< 0: no limit). False on time-out.
bool AwaitSocket(int fd, short events, int timeoutMs) {
  pollfd target{fd, events, 0};
  for (;;) {
    const int rc = poll(&target, 1, timeoutMs);
    if (rc >= 0) return rc > 0;
    if (errno != EINTR) return true;  // libpq reports the socket's failure
  }
}

int Milliseconds(DeadlineClock::duration duration) {
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(duration).count());
}

// Asks the server to stop what a connection given up was doing, on a thread of its own: the
// request goes through the postmaster, which may be as stuck as the connection was.
void CancelInBackground(PGconn* conn) {
  if (gCancels.fetch_add(1) >= kMaxCancels) {
    gCancels.fetch_sub(1);
    return;
  }
  PGcancel* cancel = PQgetCancel(conn);
  if (!cancel) {
    gCancels.fetch_sub(1);
    return;
  }
  std::thread([cancel] {
    char error[256];
    PQcancel(cancel, error, sizeof error);
    PQfreeCancel(cancel);
    gCancels.fetch_sub(1);
  }).detach();
}

}  // namespace

class PgStatement : public DbStatement {
 public:
  PgStatement(PgConnection& connection, const std::string& sql)
      : connection_(connection), sql_(NumberPlaceholders(sql, &parameters_)), table_(WrittenTable(sql)) {}
  ~PgStatement() override {
    PQclear(result_);
    if (prepared_) connection_.Forget(name_, epoch_);
  }

  void Bind(const std::vector<CZDLValue>& values) override {
    Clear();
    values_ = values;
  }

  bool Step() override {
    Execute();
    return ++row_ < PQntuples(result_);
  }

  int ColumnCount() override {
    Execute();
    return PQnfields(result_);
  }

  std::string ColumnName(int index) override {
    Execute();
    return PQfname(result_, index);
  }

  CZDLValue Column(int index) override {
    if (PQgetisnull(result_, row_, index)) return CZDLValue();
    const char* text = PQgetvalue(result_, row_, index);
    const Oid type = PQftype(result_, index);
    if (IsIntegerType(type)) return CZDLValue(std::strtoll(text, nullptr, 10));
    if (type == kBoolOid) return CZDLValue(text[0] == 't');
    if (type == kNumericOid && IsIntegerText(text)) return CZDLValue(std::strtoll(text, nullptr, 10));
    return CZDLValue(std::string(text, static_cast<std::size_t>(PQgetlength(result_, row_, index))));
  }

  long long Changes() override {
    Execute();
    return std::atoll(PQcmdTuples(result_));
  }

  // Runs the statement once after each Bind. One without parameters is sent whole each time
  // (one round trip, as cheap as running a prepared one); one with parameters is prepared on
  // first use. The first statement of a read snapshot takes the snapshot's start along.
  void Execute() {
    if (result_) return;
    if (connection_.startPending()) return connection_.Send({this});
    if (parameters_ == 0) return Finish(RunUnprepared());
    EnsurePrepared();
    Parameters parameters(*this);
    Finish(connection_.Collect(PQsendQueryPrepared(connection_.handle(), name_.c_str(), parameters.count(),
                                                   parameters.values(), nullptr, nullptr, 0) == 1));
  }

  // Sends the statement into the connection's pipeline. REQUIRES: prepared when it has
  // parameters. False when the connection cannot take it.
  bool SendPipelined() {
    if (parameters_ == 0) return PQsendQueryParams(connection_.handle(), sql_.c_str(), 0, nullptr, nullptr, nullptr,
                                                   nullptr, 0) == 1;
    Parameters parameters(*this);
    return PQsendQueryPrepared(connection_.handle(), name_.c_str(), parameters.count(), parameters.values(), nullptr,
                               nullptr, 0) == 1;
  }

  // Takes a successful result and notes rows written.
  void Accept(PGresult* result) {
    PQclear(result_);
    result_ = result;
    row_ = -1;
    if (!table_.empty() && std::atoll(PQcmdTuples(result_)) > 0) connection_.NoteWrite(table_);
  }

  // Prepares the statement on the current connection (again after a reconnect) and learns the
  // types of its parameters; nothing for a statement without parameters.
  void EnsurePrepared() {
    if (parameters_ == 0) return;
    connection_.EnsureUsable();
    if (prepared_ && epoch_ == connection_.epoch()) return;
    const std::string name = connection_.NextStatementName();
    PGresult* result =
        connection_.Collect(PQsendPrepare(connection_.handle(), name.c_str(), sql_.c_str(), 0, nullptr) == 1);
    if (PQresultStatus(result) != PGRES_COMMAND_OK) connection_.Fail(result);
    PQclear(result);
    result = connection_.Collect(PQsendDescribePrepared(connection_.handle(), name.c_str()) == 1);
    if (PQresultStatus(result) != PGRES_COMMAND_OK) connection_.Fail(result);
    types_.assign(static_cast<std::size_t>(PQnparams(result)), 0);
    for (std::size_t i = 0; i < types_.size(); ++i) types_[i] = PQparamtype(result, static_cast<int>(i));
    PQclear(result);
    name_ = name;
    epoch_ = connection_.epoch();
    prepared_ = true;
  }

 private:
  // The bound values as libpq takes them: text, or NULL.
  class Parameters {
   public:
    explicit Parameters(const PgStatement& statement)
        : texts_(statement.values_.size()), pointers_(statement.values_.size(), nullptr) {
      for (std::size_t i = 0; i < texts_.size(); ++i) {
        if (statement.values_[i].IsNull()) continue;
        texts_[i] = statement.values_[i].AsText();
        // Text that is no integer never equals an integer column's value: as NULL it matches
        // nothing instead of failing the statement.
        if (i < statement.types_.size() && IsIntegerType(statement.types_[i]) && !IsIntegerText(texts_[i])) continue;
        pointers_[i] = texts_[i].c_str();
      }
    }
    int count() const { return static_cast<int>(pointers_.size()); }
    const char* const* values() const { return pointers_.data(); }

   private:
    std::vector<std::string> texts_;
    std::vector<const char*> pointers_;
  };

  void Clear() {
    PQclear(result_);
    result_ = nullptr;
    row_ = -1;
  }

  PGresult* RunUnprepared() {
    connection_.EnsureUsable();
    return connection_.Collect(
        PQsendQueryParams(connection_.handle(), sql_.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) == 1);
  }

  // Takes the result of an execution, throwing for a failure.
  void Finish(PGresult* result) {
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) connection_.Fail(result);
    Accept(result);
  }

  PgConnection& connection_;
  int parameters_ = 0;
  const std::string sql_;
  const std::string table_;
  std::string name_;
  bool prepared_ = false;
  unsigned long epoch_ = 0;
  std::vector<Oid> types_;
  std::vector<CZDLValue> values_;
  PGresult* result_ = nullptr;
  int row_ = -1;
};

bool IsPostgresLocation(const std::string& location) {
  if (location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0) return true;
  // A key=value string starts with one of libpq's keywords and an equals sign.
  std::size_t at = 0;
  while (at < location.size() && (std::isalnum(static_cast<unsigned char>(location[at])) || location[at] == '_')) ++at;
  const std::size_t equals = SkipBlanks(location, at);
  if (at == 0 || equals >= location.size() || location[equals] != '=') return false;
  static const std::set<std::string> keywords = [] {
    std::set<std::string> names;
    PQconninfoOption* defaults = PQconndefaults();
    for (PQconninfoOption* option = defaults; option && option->keyword; ++option) names.insert(option->keyword);
    PQconninfoFree(defaults);
    return names;
  }();
  return keywords.count(location.substr(0, at)) > 0;
}

std::string PostgresDisplayName(const std::string& location) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(location.c_str(), &error);
  if (!options) {
    PQfreemem(error);
    return "(an unreadable PostgreSQL connection string)";
  }
  std::string text;
  for (PQconninfoOption* option = options; option->keyword; ++option) {
    if (!option->val || std::strcmp(option->keyword, "password") == 0) continue;
    if (!text.empty()) text += ' ';
    text += std::string(option->keyword) + "=" + option->val;
  }
  PQconninfoFree(options);
  return text;
}

std::string NumberPlaceholders(const std::string& sql, int* count) {
  std::string out;
  out.reserve(sql.size() + 16);
  int number = 0;
  for (std::size_t i = 0; i < sql.size();) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      const std::size_t end = QuotedEnd(sql, i);
      out.append(sql, i, end - i);
      i = end;
    } else if (c == '?') {
      out += '$' + std::to_string(++number);
      ++i;
    } else if (KeywordAt(sql, i, "LIKE")) {
      // The embedded back end's LIKE ignores the case of ASCII letters and knows no escape
      // character; ILIKE on "C"-collated text does the same when the escape is switched off.
      out += "ILIKE";
      i += 4;
      // A pattern that is one placeholder gets the ESCAPE clause; a pattern expression goes on
      // past its placeholder and keeps the default.
      const std::size_t pattern = SkipBlanks(sql, i);
      const std::size_t after = SkipBlanks(sql, pattern + 1);
      const bool whole = after >= sql.size() || !std::strchr("|+-*/%^:", sql[after]);
      if (pattern < sql.size() && sql[pattern] == '?' && whole && !KeywordAt(sql, after, "ESCAPE")) {
        out += " $" + std::to_string(++number) + " ESCAPE ''";
        i = pattern + 1;
      }
    } else {
      out += c;
      ++i;
    }
  }
  if (count) *count = number;
  return out;
}

std::string WrittenTable(const std::string& sql) {
  std::size_t at = SkipBlanks(sql, 0);
  if (KeywordAt(sql, at, "INSERT")) {
    at = SkipBlanks(sql, at + 6);
    if (KeywordAt(sql, at, "OR")) return "";  // not our dialect
    if (!KeywordAt(sql, at, "INTO")) return "";
    at += 4;
  } else if (KeywordAt(sql, at, "UPDATE")) {
    at += 6;
  } else if (KeywordAt(sql, at, "DELETE")) {
    at = SkipBlanks(sql, at + 6);
    if (!KeywordAt(sql, at, "FROM")) return "";
    at += 4;
  } else {
    return "";
  }
  at = SkipBlanks(sql, at);
  std::string table;
  while (at < sql.size() && IsWordChar(sql[at])) {
    table += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[at])));
    ++at;
  }
  return table;
}

PgConnection::PgConnection(const std::string& location, std::string token, ServerRole& role)
    : location_(location), token_(std::move(token)), role_(role) {}

PgConnection::~PgConnection() { PQfinish(conn_); }

// Connects without blocking, so that a server that accepts the connection but never answers
// costs no more than the time left.
void PgConnection::Connect() {
  const char* keywords[] = {"dbname", "client_encoding", "fallback_application_name", nullptr};
  const char* values[] = {location_.c_str(), "UTF8", "zebd", nullptr};
  const DeadlineClock::time_point deadline = DeadlineClock::now() + TimeLeft(kConnectTimeout);
  conn_ = PQconnectStartParams(keywords, values, 1);
  PostgresPollingStatusType state = PGRES_POLLING_WRITING;
  std::string problem;
  while (conn_ && PQstatus(conn_) != CONNECTION_BAD && state != PGRES_POLLING_OK) {
    if (state == PGRES_POLLING_FAILED) break;
    const DeadlineClock::duration left = deadline - DeadlineClock::now();
    if (left <= DeadlineClock::duration::zero() ||
        !AwaitSocket(PQsocket(conn_), state == PGRES_POLLING_READING ? POLLIN : POLLOUT, Milliseconds(left))) {
      problem = "no answer in time";
      break;
    }
    state = PQconnectPoll(conn_);
  }
  if (!conn_ || state != PGRES_POLLING_OK || PQstatus(conn_) != CONNECTION_OK) {
    if (problem.empty()) problem = conn_ ? Trimmed(PQerrorMessage(conn_)) : "out of memory";
    PQfinish(conn_);
    conn_ = nullptr;
    unreachable_ = true;
    throw CZDLException(kZDLDatabaseUnavailable, "The configuration database cannot be used: cannot connect to " +
                                                     PostgresDisplayName(location_) + ": " + problem);
  }
  ++epoch_;
  unreachable_ = false;
  PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
  // A hot standby serves reads only; the node learns it with every connection it makes, so a
  // server that came back as a standby (or was promoted meanwhile) is noticed.
  PGresult* result =
      Exec((kSessionSettings + std::to_string(RequestTimeout().count()) + "; SELECT pg_is_in_recovery()").c_str());
  if (PQresultStatus(result) != PGRES_TUPLES_OK) Fail(result);
  role_.Note(PQntuples(result) == 1 && std::string(PQgetvalue(result, 0, 0)) == "t");
  PQclear(result);
}

PGresult* PgConnection::Collect(bool sent) {
  if (!sent) return PQmakeEmptyPGresult(conn_, PGRES_FATAL_ERROR);
  ++roundTrips_;
  PGresult* last = Drain();
  return last ? last : PQmakeEmptyPGresult(conn_, PGRES_FATAL_ERROR);
}

PGresult* PgConnection::Drain() {
  PGresult* last = nullptr;
  for (;;) {
    AwaitResult();
    PGresult* result = PQgetResult(conn_);
    if (!result) break;
    PQclear(last);
    last = result;
  }
  return last;
}

PGresult* PgConnection::Exec(const char* sql) { return Collect(PQsendQuery(conn_, sql) == 1); }

PGresult* PgConnection::NextResult() {
  AwaitResult();
  return PQgetResult(conn_);
}

// A quick answer is taken without ceremony; a slow one is a wait of the server's gate, bounded
// by the request's deadline, after which the connection is given up.
void PgConnection::AwaitResult() {
  std::optional<BackEndGate::Wait> wait;
  while (PQisBusy(conn_)) {
    const DeadlineClock::duration left = TimeLeft(DeadlineClock::duration::max());
    if (left <= DeadlineClock::duration::zero()) Abandon(kNoAnswer);
    const bool unbounded = !CurrentDeadline();
    int timeoutMs = unbounded ? -1 : Milliseconds(left);
    if (!wait) timeoutMs = timeoutMs < 0 ? kQuickWaitMs : std::min(timeoutMs, kQuickWaitMs);
    if (!AwaitSocket(PQsocket(conn_), POLLIN, timeoutMs)) {
      if (wait) continue;
      try {
        wait.emplace(DatabaseServerGate());
      } catch (const CZDLException& error) {
        Abandon(error.GetExceptionStr());
      }
      continue;
    }
    if (!PQconsumeInput(conn_)) return;  // the next PQgetResult says why
  }
}

void PgConnection::Abandon(const std::string& text) {
  CancelInBackground(conn_);
  PQfinish(conn_);
  conn_ = nullptr;
  broken_ = true;
  endingRead_ = false;
  commitPending_ = false;
  throw CZDLException(kZDLDatabaseUnavailable, text);
}

void PgConnection::Reset() {
  // A connection made after one was lost, or after the server could not be reached, is a
  // reconnect: either way the session had lost its database and has it back.
  const bool again = epoch_ > 0 || unreachable_;
  endingRead_ = false;
  commitPending_ = false;
  // A broken connection is replaced by a fresh one (made without blocking, see Connect).
  PQfinish(conn_);
  conn_ = nullptr;
  broken_ = false;
  written_.clear();
  unused_.clear();
  Connect();
  if (again) NoteDatabaseReconnect();
}

bool PgConnection::Usable() const { return conn_ && !broken_ && PQstatus(conn_) == CONNECTION_OK; }

void PgConnection::EnsureUsable() {
  CollectEndOfRead();
  if (commitPending_) {
    commitPending_ = false;
    if (Usable()) Run("COMMIT");
  }
  if (Usable()) return;
  if (inTransaction_) {
    // What the transaction did is gone with the connection; going on outside it would be wrong.
    throw CZDLException(kZDLDatabaseUnavailable,
                        "The configuration database cannot be used: the connection was lost during a transaction.");
  }
  Reset();
}

void PgConnection::Forget(const std::string& statement, unsigned long epoch) {
  if (epoch == epoch_) unused_ += "DEALLOCATE " + statement + "; ";
}

std::string PgConnection::NextStatementName() { return "zeb" + std::to_string(++nextStatement_); }

bool PgConnection::ConnectionLost(const PGresult* result) const {
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  const std::string code = state ? state : "";
  // Class 08 is a connection exception; 57P01 to 57P03 a server shutting down or starting.
  return PQstatus(conn_) != CONNECTION_OK || code.rfind("08", 0) == 0 || code.rfind("57P", 0) == 0;
}

void PgConnection::Fail(PGresult* result) {
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  const std::string code = state ? state : "";
  std::string message = Trimmed(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY));
  if (message.empty()) message = Trimmed(PQerrorMessage(conn_));
  const bool lost = ConnectionLost(result);
  PQclear(result);
  if (lost) {
    broken_ = true;
    throw CZDLException(kZDLDatabaseUnavailable, "The configuration database cannot be used: " + message);
  }
  if (code == "55P03" || code == "40001" || code == "40P01") {
    throw CZDLException(kZDLBusy, "The configuration database is busy. Try the request again.");
  }
  // A statement cut by the statement time-out (the request's time limit) or cancelled.
  if (code == "57014") throw CZDLException(kZDLDatabaseUnavailable, "The configuration database cannot be used: " + message);
  if (code == "53200") throw CZDLException(kZDLOutOfMemory, "Not enough memory to process request.");
  if (code == "23505") {
    throw CZDLException(kZDLDuplicate, "A record with the same unique value exists already (" + message + ").");
  }
  if (code == "23503") {
    throw CZDLException(kZDLStillReferenced, "The change would leave a reference between records dangling.");
  }
  if (code == "23502") throw CZDLException(kZDLRequiredValue, "A required value is missing (" + message + ").");
  throw CZDLException(kZDLGeneralError, "Database error: " + message);
}

void PgConnection::Run(const char* sql) {
  PGresult* result = Exec(sql);
  const ExecStatusType status = PQresultStatus(result);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) Fail(result);
  PQclear(result);
}

namespace {
bool Succeeded(const PGresult* result) {
  const ExecStatusType status = PQresultStatus(result);
  return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

// Whether a command's last result grants what it tried: false when its first value is false.
bool Granted(const PGresult* result) {
  return PQntuples(result) == 0 || PQnfields(result) == 0 || PQgetvalue(result, 0, 0)[0] != 'f';
}
}  // namespace

bool PgConnection::Start(const char* sql) {
  const bool commit = std::exchange(commitPending_, false);
  EnsureUsable();
  // The read snapshot that ends here, and statements the session no longer holds, go in the
  // same round trip.
  const std::string command = (commit ? "COMMIT; " : "") + std::exchange(unused_, std::string()) + sql;
  PGresult* result = Exec(command.c_str());
  if (!Succeeded(result) && ConnectionLost(result)) {
    // The server closed the idle connection (a restart, an administrator): one new attempt.
    PQclear(result);
    Reset();
    result = Exec(sql);
  }
  return Began(result);
}

bool PgConnection::Began(PGresult* result) {
  if (!Succeeded(result)) {
    // The transaction began but its lock was not granted: nobody else will end it.
    if (!ConnectionLost(result) && PQtransactionStatus(conn_) != PQTRANS_IDLE) PQclear(Exec("ROLLBACK"));
    inTransaction_ = false;
    Fail(result);
  }
  const bool granted = Granted(result);
  PQclear(result);
  inTransaction_ = true;
  return granted;
}

void PgConnection::NoteWrite(const std::string& table) {
  written_.insert(table);
  if (PQtransactionStatus(conn_) == PQTRANS_IDLE) Announce();
}

void PgConnection::Announce() {
  if (written_.empty()) return;
  std::string payload = token_ + " ";
  for (const std::string& table : written_) payload += (payload.back() == ' ' ? "" : ",") + table;
  written_.clear();
  const char* values[] = {kChangeChannel, payload.c_str()};
  PGresult* result =
      Collect(PQsendQueryParams(conn_, "SELECT pg_notify($1, $2)", 2, nullptr, values, nullptr, nullptr, 0) == 1);
  if (PQresultStatus(result) != PGRES_TUPLES_OK) Fail(result);
  PQclear(result);
}

std::unique_ptr<DbStatement> PgConnection::Prepare(const std::string& sql) {
  return std::make_unique<PgStatement>(*this, sql);
}

void PgConnection::ExecScript(const std::string& sql) {
  FlushStart();
  EnsureUsable();
  Run(sql.c_str());
}

void PgConnection::FlushStart() {
  if (!std::exchange(startPending_, false)) return;
  Start(kBeginRead);
}

void PgConnection::Send(const std::vector<DbStatement*>& statements) {
  std::vector<PgStatement*> pipeline;
  for (DbStatement* statement : statements) pipeline.push_back(static_cast<PgStatement*>(statement));
  // Before the snapshot's start has gone out nothing of the transaction is lost with the
  // connection: a connection the server closed while idle is made again, once.
  const bool restartable = startPending_;
  for (int attempt = 0;; ++attempt) {
    try {
      EnsureUsable();
      if (!unused_.empty() && !inTransaction_) Run(std::exchange(unused_, std::string()).c_str());
      for (PgStatement* statement : pipeline) statement->EnsurePrepared();
      return RunPipeline(pipeline);
    } catch (const CZDLException&) {
      // A connection given up past the deadline (none left) is not made again in this request.
      if (attempt > 0 || !restartable || !broken_ || !conn_) throw;
      inTransaction_ = false;
      startPending_ = true;
      Reset();
    }
  }
}

// One result per command, each followed by a null, then the sync's result. A failed command
// makes the server skip the later ones (PGRES_PIPELINE_ABORTED) up to the sync; the first
// failure is thrown once everything is read, so that the connection stays usable.
void PgConnection::RunPipeline(const std::vector<PgStatement*>& statements) {
  const bool start = startPending_;
  bool sent = PQenterPipelineMode(conn_) == 1;
  if (start) sent = sent && PQsendQueryParams(conn_, kBeginRead, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1;
  for (PgStatement* statement : statements) sent = sent && statement->SendPipelined();
  sent = sent && PQpipelineSync(conn_) == 1;
  ++roundTrips_;
  PGresult* failure = nullptr;
  bool lost = !sent;
  for (int i = start ? -1 : 0; !lost && i < static_cast<int>(statements.size()); ++i) {
    PGresult* result = NextResult();
    if (!result || PQstatus(conn_) != CONNECTION_OK) {
      PQclear(result);
      lost = true;
      break;
    }
    PQclear(NextResult());  // the null that ends the command's results
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      if (!failure && status != PGRES_PIPELINE_ABORTED) failure = result; else PQclear(result);
    } else if (i >= 0) {
      statements[static_cast<std::size_t>(i)]->Accept(result);
    } else {
      PQclear(result);
      startPending_ = false;
      inTransaction_ = true;
    }
  }
  if (lost || PQstatus(conn_) != CONNECTION_OK) {
    PQclear(failure);
    broken_ = true;
    throw CZDLException(kZDLDatabaseUnavailable,
                        "The configuration database cannot be used: " + Trimmed(PQerrorMessage(conn_)));
  }
  PGresult* sync = NextResult();
  const bool synced = PQresultStatus(sync) == PGRES_PIPELINE_SYNC;
  PQclear(sync);
  if (!synced || PQexitPipelineMode(conn_) != 1) {
    PQclear(failure);
    broken_ = true;
    throw CZDLException(kZDLDatabaseUnavailable, "The configuration database cannot be used: the pipeline broke.");
  }
  if (failure) Fail(failure);
}

void PgConnection::BeginWrite() {
  written_.clear();
  if (Start(kBeginWrite)) return;
  CZDLWait wait;
  Began(Exec(kWaitForWriteLock));
}

void PgConnection::Commit() {
  inTransaction_ = false;
  if (Usable() && PQtransactionStatus(conn_) == PQTRANS_INERROR) {
    // The server would answer COMMIT with a silent rollback: say so instead.
    written_.clear();
    Run("ROLLBACK");
    throw CZDLException(kZDLGeneralError, "The transaction was rolled back by an earlier failure.");
  }
  Announce();
  Run("COMMIT");
}

void PgConnection::Rollback() {
  inTransaction_ = false;
  startPending_ = false;
  written_.clear();
  if (!Usable() || PQtransactionStatus(conn_) == PQTRANS_IDLE) return;
  Run("ROLLBACK");
}

// Nothing is sent yet: the snapshot starts with its first statement, in the same round trip.
void PgConnection::BeginRead() { startPending_ = true; }

void PgConnection::EndRead() {
  if (std::exchange(startPending_, false)) return;
  inTransaction_ = false;
  if (!Usable() || PQtransactionStatus(conn_) == PQTRANS_IDLE) return;
  // Ending a read-only snapshot cannot fail in a way that matters to the request: its answer
  // need not wait for the server's, which the next command collects.
  if (PQsendQuery(conn_, "COMMIT")) {
    endingRead_ = true;
  } else {
    broken_ = true;
  }
}

void PgConnection::EndReadForWrite() {
  if (std::exchange(startPending_, false)) return;
  inTransaction_ = false;
  if (Usable() && PQtransactionStatus(conn_) != PQTRANS_IDLE) commitPending_ = true;
}

void PgConnection::CollectEndOfRead() {
  if (!endingRead_) return;
  endingRead_ = false;
  if (conn_) PQclear(Drain());
}

}  // namespace zeb::zdl
