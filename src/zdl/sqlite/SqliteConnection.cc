#include "zdl/sqlite/SqliteConnection.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <exception>
#include <thread>

#include "zdl/base/CZDLException.h"
#include "zdl/sqlite/LogWriteBatch.h"
#include "zdl/sqlite/SqliteFile.h"

namespace zeb::zdl {

namespace {

// How long a writer waits for its turn and for the lock of another process, together.
constexpr std::chrono::milliseconds kLockTimeout{10000};
// Pauses between attempts while another process holds a lock.
constexpr int kBusyPausesMs[] = {1, 2, 5, 10, 20, 50, 100};
// The value of PRAGMA application_id that marks a file as ours ("ZEB1").
constexpr int kApplicationId = 0x5A454231;

[[noreturn]] void Busy() {
  throw CZDLException(kZDLBusy, "The configuration database is busy. Try the request again.");
}

[[noreturn]] void Fail(sqlite3* db, int rc) {
  const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      Busy();
    case SQLITE_NOMEM:
      throw CZDLException(kZDLOutOfMemory, "Not enough memory to process request.");
    case SQLITE_NOTADB:
    case SQLITE_CANTOPEN:
    case SQLITE_CORRUPT:
      throw CZDLException(kZDLDatabaseUnavailable, "The configuration database cannot be used: " + message);
    case SQLITE_CONSTRAINT:
      break;
    default:
      throw CZDLException(kZDLGeneralError, "Database error: " + message);
  }
  switch (rc) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
      throw CZDLException(kZDLDuplicate, "A record with the same unique value exists already (" + message + ").");
    case SQLITE_CONSTRAINT_FOREIGNKEY:
      throw CZDLException(kZDLStillReferenced, "The change would leave a reference between records dangling.");
    case SQLITE_CONSTRAINT_NOTNULL:
      throw CZDLException(kZDLRequiredValue, "A required value is missing (" + message + ").");
    default:
      throw CZDLException(kZDLGeneralError, "Database error: " + message);
  }
}

// A statement of a worker's connection. While the worker holds a write transaction it runs on
// the file's writer instead; it is prepared on each of the two on first need (there, when it
// names a table the transaction made).
class SqliteStatement : public DbStatement {
 public:
  SqliteStatement(SqliteConnection& connection, std::string sql)
      : connection_(connection), sql_(std::move(sql)) {
    Choose();
    parameters_ = static_cast<std::size_t>(sqlite3_bind_parameter_count(statement_));
  }
  ~SqliteStatement() override {
    sqlite3_finalize(own_);
    sqlite3_finalize(onWriter_);
  }

  // Texts are bound without a copy: the caller's values outlive every step of this binding (the
  // session steps a statement before it returns), and every later run binds the parameters again
  // before its first step. Clearing is needed only when a run leaves parameters out.
  void Bind(const std::vector<CZDLValue>& values) override {
    Choose();
    sqlite3_reset(statement_);
    if (values.size() < parameters_) sqlite3_clear_bindings(statement_);
    for (std::size_t i = 0; i < values.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      const CZDLValue& value = values[i];
      int rc = SQLITE_OK;
      switch (value.kind()) {
        case CZDLValue::Kind::kNull: rc = sqlite3_bind_null(statement_, index); break;
        case CZDLValue::Kind::kInt: rc = sqlite3_bind_int64(statement_, index, value.AsInt()); break;
        case CZDLValue::Kind::kText:
          rc = sqlite3_bind_text(statement_, index, value.TextRef().data(), static_cast<int>(value.TextRef().size()),
                                 SQLITE_STATIC);
          break;
      }
      if (rc != SQLITE_OK) Fail(current_->db(), rc);
    }
  }

  bool Step() override {
    const int rc = sqlite3_step(statement_);
    current_->AfterStep();
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const int extended = sqlite3_extended_errcode(current_->db());
    sqlite3_reset(statement_);
    Fail(current_->db(), extended);
  }

  int ColumnCount() override { return sqlite3_column_count(statement_); }
  std::string ColumnName(int index) override { return sqlite3_column_name(statement_, index); }

  CZDLValue Column(int index) override {
    switch (sqlite3_column_type(statement_, index)) {
      case SQLITE_NULL: return CZDLValue();
      case SQLITE_INTEGER:
      case SQLITE_FLOAT: return CZDLValue(static_cast<long long>(sqlite3_column_int64(statement_, index)));
      default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, index));
        return CZDLValue(std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_, index))));
      }
    }
  }

  long long Changes() override { return sqlite3_changes(current_->db()); }

 private:
  // Picks the connection this run goes to, and its handle of the statement.
  void Choose() {
    current_ = &connection_.Current();
    const bool own = current_ == &connection_;
    sqlite3_stmt*& handle = own ? own_ : onWriter_;
    if (!handle) {
      if (sqlite3_prepare_v2(current_->db(), sql_.c_str(), static_cast<int>(sql_.size()), &handle, nullptr) !=
          SQLITE_OK) {
        Fail(current_->db(), sqlite3_extended_errcode(current_->db()));
      }
      if (!own) writer_ = current_->shared_from_this();  // finalized before the writer closes
    }
    statement_ = handle;
  }

  SqliteConnection& connection_;
  const std::string sql_;
  sqlite3_stmt* own_ = nullptr;
  sqlite3_stmt* onWriter_ = nullptr;
  std::shared_ptr<SqliteConnection> writer_;
  SqliteConnection* current_ = nullptr;
  sqlite3_stmt* statement_ = nullptr;
  std::size_t parameters_ = 0;
};

// The database holds the whole configuration: a new file is made readable by its owner only,
// and an existing one (with its write-ahead log and index, which SQLite creates with the main
// file's mode) is brought down to that. Existing files are changed by path only: closing a
// descriptor of a file would drop the locks that other connections of this process hold on it.
void MakePrivate(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) close(fd);  // sqlite3_open_v2 reports why a file cannot be made
  }
  for (const std::string& file : {path, path + "-wal", path + "-shm"}) {
    if (stat(file.c_str(), &info) == 0 && (info.st_mode & 077) != 0) chmod(file.c_str(), info.st_mode & 0700);
  }
}

}  // namespace

SqliteConnection::SqliteConnection(const std::string& path, Role role) {
  MakePrivate(path);
  // The writer is used by one worker at a time, in its turn; but a worker finalizes its
  // statements there whenever it closes, so the writer guards itself.
  // Only the writer writes the log, so only it gathers each commit's writes into one.
  const bool writer = role == Role::kWriter;
  const int rc = sqlite3_open_v2(path.c_str(), &db_,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                     (writer ? SQLITE_OPEN_FULLMUTEX : SQLITE_OPEN_NOMUTEX),
                                 writer ? LogWriteBatchVfs() : nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw CZDLException(kZDLDatabaseUnavailable, "Cannot open the configuration database " + path + ": " + message);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_handler(db_, &SqliteConnection::OnBusy, this);
  try {
    ExecScript("PRAGMA foreign_keys = ON; PRAGMA synchronous = FULL; PRAGMA trusted_schema = OFF;");
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
  file_ = SqliteFile::For(path);
  // Replaces SQLite's automatic checkpoint, which would run inside a commit and so in the
  // writer's turn: the file's own thread checkpoints instead.
  sqlite3_wal_hook(db_, &SqliteConnection::OnLogWritten, this);
}

SqliteConnection::~SqliteConnection() {
  if (holdsTurn_) {
    sqlite3_exec(Current().db_, "ROLLBACK", nullptr, nullptr, nullptr);
    writing_ = false;
    ReleaseTurn();
  }
  for (sqlite3_stmt* control : controls_) sqlite3_finalize(control);
  sqlite3_close(db_);
}

std::unique_ptr<DbStatement> SqliteConnection::Prepare(const std::string& sql) {
  return std::make_unique<SqliteStatement>(*this, sql);
}

void SqliteConnection::ExecScript(const std::string& sql) {
  SqliteConnection& current = Current();
  const int rc = sqlite3_exec(current.db_, sql.c_str(), nullptr, nullptr, nullptr);
  current.AfterStep();
  if (rc != SQLITE_OK) Fail(current.db_, sqlite3_extended_errcode(current.db_));
}

sqlite3_stmt* SqliteConnection::ControlStatement(Control control) {
  static const char* const kSql[kControls] = {"BEGIN IMMEDIATE", "BEGIN DEFERRED", "COMMIT",
                                              "PRAGMA data_version"};
  sqlite3_stmt*& statement = controls_[control];
  if (!statement) sqlite3_prepare_v2(db_, kSql[control], -1, &statement, nullptr);
  return statement;
}

int SqliteConnection::Run(Control control) {
  sqlite3_stmt* statement = ControlStatement(control);
  if (!statement) return sqlite3_errcode(db_);
  const int stepped = sqlite3_step(statement);
  const int rc = sqlite3_reset(statement);
  AfterStep();
  return stepped == SQLITE_DONE ? SQLITE_OK : rc;
}

void SqliteConnection::RunOrFail(Control control) {
  if (Run(control) != SQLITE_OK) Fail(db_, sqlite3_extended_errcode(db_));
}

// Another process holds a lock: wait for it, up to the time-out, without holding up the other
// requests of this process (the wait is reported; it ends with the statement, in AfterStep).
int SqliteConnection::OnBusy(void* self, int attempts) {
  auto* connection = static_cast<SqliteConnection*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (attempts == 0) {
    if (connection->deadline_ < now) connection->deadline_ = now + kLockTimeout;
    if (!connection->busyWait_) connection->busyWait_.emplace();
  }
  if (now >= connection->deadline_) return 0;
  constexpr int kPauses = sizeof kBusyPausesMs / sizeof kBusyPausesMs[0];
  const int pause = kBusyPausesMs[std::min(attempts, kPauses - 1)];
  std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(pause),
                                                                           connection->deadline_ - now));
  return 1;
}

int SqliteConnection::OnLogWritten(void* self, sqlite3*, const char*, int frames) {
  static_cast<SqliteConnection*>(self)->file_->NoteLogSize(frames);
  return SQLITE_OK;
}

bool SqliteConnection::InWalMode() {
  sqlite3_stmt* mode = nullptr;
  if (sqlite3_prepare_v2(db_, "PRAGMA journal_mode", -1, &mode, nullptr) != SQLITE_OK) return false;
  const bool wal = sqlite3_step(mode) == SQLITE_ROW &&
                   sqlite3_stricmp(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal") == 0;
  sqlite3_finalize(mode);
  AfterStep();
  return wal;
}

void SqliteConnection::UseGroupCommitInWal() {
  if (groupCommit_ || !InWalMode()) return;
  // A log that starts over is cut back to this size, and is written in place below it.
  ExecScript("PRAGMA synchronous = NORMAL; PRAGMA journal_size_limit = 67108864");
  groupCommit_ = true;
}

void SqliteConnection::NoteSnapshot() {
  noteSnapshot_ = false;
  // After the first statement: any commit the snapshot holds has its number by now.
  seen_ = file_->commits().Latest();
}

void SqliteConnection::ReleaseTurn() {
  if (!holdsTurn_) return;
  holdsTurn_ = false;
  file_->gate().Release();
}

void SyncWriteAheadLog(sqlite3* db) {
  sqlite3_file* log = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) != SQLITE_OK || !log || !log->pMethods) {
    throw CZDLException(kZDLGeneralError, "Database error: the write-ahead log is not open.");
  }
  // The sync SQLite itself runs for a commit with synchronous=FULL.
  const int rc = log->pMethods->xSync(log, SQLITE_SYNC_NORMAL);
  if (rc != SQLITE_OK) {
    throw CZDLException(kZDLGeneralError, std::string("Database error: the write-ahead log cannot be synced (") +
                                              sqlite3_errstr(rc) + ").");
  }
}

// Through this connection's own handle of the log (the writer's is in another worker's use by
// now): a sync covers the whole file, whichever handle wrote to it.
void SqliteConnection::SyncLog() {
  if (!logOpen_) {
    Run(kDataVersion);  // a read opens the log
    logOpen_ = true;
  }
  SyncWriteAheadLog(db_);
}

void SqliteConnection::AwaitSeenDurable() {
  if (seen_ == 0) return;  // numbers are only taken by group commits
  file_->commits().WaitDurable(seen_, [this] { SyncLog(); });
}

void SqliteConnection::BeginWrite() {
  if (!writer_) writer_ = file_->Writer();
  deadline_ = std::chrono::steady_clock::now() + kLockTimeout;
  if (!file_->gate().Acquire(kLockTimeout)) Busy();
  holdsTurn_ = true;
  writing_ = true;
  writer_->deadline_ = deadline_;  // the turn and another process's lock share one time-out
  try {
    writer_->UseGroupCommitInWal();
    writer_->RunOrFail(kBeginImmediate);
  } catch (...) {
    writing_ = false;
    ReleaseTurn();
    throw;
  }
  deadline_ = writer_->deadline_ = {};
  seen_ = file_->commits().Latest();
}

// Group commit. The connection runs with synchronous=NORMAL: SQLite then writes a commit's
// frames to the log without syncing it, and this function syncs the log itself (the same sync
// of the same file that synchronous=FULL runs inside COMMIT), but after the write turn has
// passed on, so that the commits of the writers behind share it. Why an acknowledged commit is
// then exactly as durable as with synchronous=FULL:
// - A commit is acknowledged only when WaitDurable returns, that is after a sync of the log that
//   started after the commit's frames were written. The log is appended in commit order and a
//   sync covers the whole file, so that sync covers this commit and every earlier one.
// - The frames themselves are the ones FULL writes (no padding either way: the file system
//   overwrites sectors safely), and a commit that is not yet synced is never needed by an
//   acknowledged one: a later commit is only acknowledged after a sync that covers both.
// - SQLite's own syncs still run with NORMAL: before a checkpoint copies frames into the
//   database file it syncs the log, after copying it syncs the database file, and when the log
//   is reused from its start it syncs the new log header. So a checkpoint never puts into the
//   database file what the log does not durably hold, and a reused log cannot resurrect or
//   hide a commit.
// - Readers can see a commit before its sync. Within this process nothing built from it is
//   answered before it is durable: each transaction remembers the latest commit its snapshot
//   may hold and ends only after that commit is durable (AwaitSeenDurable). Another process
//   reading the same file can see a commit up to one sync early.
void SqliteConnection::Commit() {
  SqliteConnection& writer = Current();
  if (!writer.groupCommit_) {
    writer.RunOrFail(kCommit);
    writing_ = false;
    ReleaseTurn();
    return;
  }
  GroupCommit& commits = file_->commits();
  const std::uint64_t number = commits.Reserve();
  try {
    writer.RunOrFail(kCommit);
  } catch (...) {
    commits.Written(number);
    throw;  // the session rolls back, which passes the turn on
  }
  commits.Written(number);
  writing_ = false;
  ReleaseTurn();
  commits.WaitDurable(number, [this] { SyncLog(); });
}

void SqliteConnection::Rollback() {
  SqliteConnection& writer = Current();
  const int rc = sqlite3_get_autocommit(writer.db_)
                     ? SQLITE_OK
                     : sqlite3_exec(writer.db_, "ROLLBACK", nullptr, nullptr, nullptr);
  // Its message is read while the turn still keeps the writer's other users away.
  std::exception_ptr failure;
  if (rc != SQLITE_OK) {
    try {
      Fail(writer.db_, sqlite3_extended_errcode(writer.db_));
    } catch (...) {
      failure = std::current_exception();
    }
  }
  writer.AfterStep();
  writing_ = false;
  ReleaseTurn();
  AwaitSeenDurable();
  if (failure) std::rethrow_exception(failure);
}

void SqliteConnection::BeginRead() {
  RunOrFail(kBeginDeferred);
  noteSnapshot_ = true;
  seen_ = 0;
}

void SqliteConnection::EndRead() {
  EndReadForWrite();
  AwaitSeenDurable();
}

// The data version changes when a read transaction begins on a snapshot that holds commits of
// other connections, which is what the first statement of a deferred transaction does. Every
// commit in WAL mode publishes a new wal-index header (its change counter, log size and salts),
// and a read transaction takes its snapshot from that header: while the header is the one seen
// before the data version was last read, the data version is still the same, and asking again
// (which takes and releases a read lock through SQLite's shared-memory locks, the costliest part
// of answering a kept answer) is skipped.
bool SqliteConnection::OthersChangedData() {
  unsigned char header[sizeof seenHeader_];
  const bool steady = ReadWalIndexHeader(header);
  if (steady && seenHeaderValid_ && std::memcmp(header, seenHeader_, sizeof header) == 0) return false;
  sqlite3_stmt* statement = ControlStatement(kDataVersion);
  const bool row = statement && sqlite3_step(statement) == SQLITE_ROW;
  const std::int64_t version = row ? sqlite3_column_int64(statement, 0) : -1;
  if (statement) sqlite3_reset(statement);
  AfterStep();
  const bool changed = version < 0 || version != dataVersion_;
  dataVersion_ = version;
  // A commit published between reading the header and reading the version changes the header
  // again, so the next look asks again.
  seenHeaderValid_ = steady && row;
  if (seenHeaderValid_) std::memcpy(seenHeader_, header, sizeof header);
  if (row && !walIndexWatched_) WatchWalIndex();
  return changed;
}

// REQUIRES: a read transaction of this connection is open (the log and the wal-index are then
// open in WAL mode).
void SqliteConnection::WatchWalIndex() {
  walIndexWatched_ = true;
  if (!InWalMode()) return;
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
      !file->pMethods || file->pMethods->iVersion < 2 || !file->pMethods->xShmMap) {
    return;
  }
  // The region the connection has mapped already (32 KiB is SQLite's region size); nothing is
  // created or extended.
  void volatile* region = nullptr;
  if (file->pMethods->xShmMap(file, 0, 32 * 1024, 0, &region) == SQLITE_OK && region) {
    walIndex_ = static_cast<const volatile unsigned char*>(region);
  }
}

// The header is kept twice; a commit writes the second copy, then the first. Read in the other
// order, two equal copies are a header no commit is writing, as SQLite's own readers check it.
// Byte 12 is non-zero once the wal-index is initialised.
bool SqliteConnection::ReadWalIndexHeader(unsigned char* header) const {
  if (!walIndex_) return false;
  constexpr std::size_t kCopy = sizeof seenHeader_;
  unsigned char second[kCopy];
  for (std::size_t i = 0; i < kCopy; ++i) header[i] = walIndex_[i];
  std::atomic_thread_fence(std::memory_order_seq_cst);
  for (std::size_t i = 0; i < kCopy; ++i) second[i] = walIndex_[kCopy + i];
  return std::memcmp(header, second, kCopy) == 0 && header[12] != 0;
}

// The write transaction that follows waits for everything this one saw, and more.
void SqliteConnection::EndReadForWrite() {
  noteSnapshot_ = false;
  if (!sqlite3_get_autocommit(db_)) RunOrFail(kCommit);
}

std::string SqliteDialect::ColumnType(const ColumnDef& column) const {
  switch (column.kind) {
    case ColKind::kEnumKey:
    case ColKind::kInt:
    case ColKind::kBool:
    case ColKind::kEnum: return "INTEGER";
    case ColKind::kText: return column.noCase() ? "TEXT COLLATE NOCASE" : "TEXT";
    default: return "TEXT";
  }
}

std::string SqliteDialect::Equals(const std::string& column, bool) const {
  // The column's own collation decides whether case matters.
  return column + " = ?";
}

std::string SqliteDialect::IndexExpression(const std::string& column, bool noCase, bool nullAsValue) const {
  if (!nullAsValue) return column;
  return "COALESCE(" + column + ", '')" + (noCase ? " COLLATE NOCASE" : "");
}

std::string SqliteDialect::InsertIgnore(const std::string& table, const std::vector<std::string>& columns,
                                        const std::string&) const {
  std::string names, marks;
  for (const std::string& column : columns) {
    names += (names.empty() ? "" : ", ") + column;
    marks += marks.empty() ? "?" : ", ?";
  }
  return "INSERT OR IGNORE INTO " + table + " (" + names + ") VALUES (" + marks + ")";
}

bool SqliteDialect::TableExists(SqlRunner& session, const std::string& table) const {
  return !session
              .Rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
                    {table})
              .empty();
}

std::set<std::string> SqliteDialect::TableColumns(SqlRunner& session, const std::string& table) const {
  std::set<std::string> names;
  for (const auto& row : session.Rows("SELECT name FROM pragma_table_info(?)", {table})) {
    std::string name = row[0].AsText();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    names.insert(name);
  }
  return names;
}

long long SqliteDialect::CountTables(SqlRunner& session) const {
  return session.Rows("SELECT count(*) FROM sqlite_master WHERE type = 'table'").at(0).at(0).AsInt();
}

void SqliteDialect::PrepareSchema(SqlRunner& session) const {
  session.Script("PRAGMA application_id = " + std::to_string(kApplicationId));
}

bool SqliteDialect::CarriesOurMark(SqlRunner& session) const {
  return session.Rows("PRAGMA application_id").at(0).at(0).AsInt() == kApplicationId;
}

void SqliteDialect::AfterOpen(SqlRunner& session) const { session.Script("PRAGMA journal_mode = WAL"); }

void ProbeSqliteFile(const std::string& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  const std::string message = rc == SQLITE_OK ? "" : (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
  sqlite3_close(db);
  if (rc != SQLITE_OK) throw CZDLException(kZDLDatabaseUnavailable, path + ": " + message);
}

}  // namespace zeb::zdl
