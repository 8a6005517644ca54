#include "zdl/sqlite/SqliteConnection.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "zdl/CZDLException.h"
#include "zdl/CZDLSession.h"

namespace zeb::zdl {

namespace {

constexpr int kBusyTimeoutMs = 10000;
// The value of PRAGMA application_id that marks a file as ours ("ZEB1").
constexpr int kApplicationId = 0x5A454231;

[[noreturn]] void Fail(sqlite3* db, int rc) {
  const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      throw CZDLException(kZDLBusy, "The configuration database is busy. Try the request again.");
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

class SqliteStatement : public DbStatement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* statement) : db_(db), statement_(statement) {}
  ~SqliteStatement() override { sqlite3_finalize(statement_); }

  void Bind(const std::vector<CZDLValue>& values) override {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    for (std::size_t i = 0; i < values.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      const CZDLValue& value = values[i];
      int rc = SQLITE_OK;
      switch (value.kind()) {
        case CZDLValue::Kind::kNull: rc = sqlite3_bind_null(statement_, index); break;
        case CZDLValue::Kind::kInt: rc = sqlite3_bind_int64(statement_, index, value.AsInt()); break;
        case CZDLValue::Kind::kText:
          rc = sqlite3_bind_text(statement_, index, value.TextRef().data(), static_cast<int>(value.TextRef().size()),
                                 SQLITE_TRANSIENT);
          break;
      }
      if (rc != SQLITE_OK) Fail(db_, rc);
    }
  }

  bool Step() override {
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const int extended = sqlite3_extended_errcode(db_);
    sqlite3_reset(statement_);
    Fail(db_, extended);
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

  long long Changes() override { return sqlite3_changes(db_); }

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_;
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

SqliteConnection::SqliteConnection(const std::string& path) {
  MakePrivate(path);
  const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                 nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw CZDLException(kZDLDatabaseUnavailable, "Cannot open the configuration database " + path + ": " + message);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  try {
    ExecScript("PRAGMA foreign_keys = ON; PRAGMA synchronous = FULL; PRAGMA trusted_schema = OFF;");
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

SqliteConnection::~SqliteConnection() { sqlite3_close(db_); }

std::unique_ptr<DbStatement> SqliteConnection::Prepare(const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  const int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
  if (rc != SQLITE_OK) Fail(db_, sqlite3_extended_errcode(db_));
  return std::make_unique<SqliteStatement>(db_, statement);
}

void SqliteConnection::ExecScript(const std::string& sql) {
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) Fail(db_, sqlite3_extended_errcode(db_));
}

void SqliteConnection::BeginWrite() { ExecScript("BEGIN IMMEDIATE"); }
void SqliteConnection::Commit() { ExecScript("COMMIT"); }
void SqliteConnection::Rollback() {
  if (!sqlite3_get_autocommit(db_)) ExecScript("ROLLBACK");
}

void SqliteConnection::BeginRead() { ExecScript("BEGIN DEFERRED"); }
void SqliteConnection::EndRead() {
  if (!sqlite3_get_autocommit(db_)) ExecScript("COMMIT");
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

bool SqliteDialect::TableExists(CZDLSession& session, const std::string& table) const {
  return !session.Query("SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE", {table})
              .rows.empty();
}

std::set<std::string> SqliteDialect::TableColumns(CZDLSession& session, const std::string& table) const {
  std::set<std::string> names;
  for (const auto& row : session.Query("SELECT name FROM pragma_table_info(?)", {table}).rows) {
    std::string name = row[0].AsText();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    names.insert(name);
  }
  return names;
}

long long SqliteDialect::CountTables(CZDLSession& session) const {
  return session.Query("SELECT count(*) FROM sqlite_master WHERE type = 'table'").rows.at(0).at(0).AsInt();
}

void SqliteDialect::PrepareSchema(CZDLSession& session) const {
  session.ExecScript("PRAGMA application_id = " + std::to_string(kApplicationId));
}

bool SqliteDialect::CarriesOurMark(CZDLSession& session) const {
  return session.Query("PRAGMA application_id").rows.at(0).at(0).AsInt() == kApplicationId;
}

void SqliteDialect::AfterOpen(CZDLSession& session) const { session.ExecScript("PRAGMA journal_mode = WAL"); }

}  // namespace zeb::zdl
