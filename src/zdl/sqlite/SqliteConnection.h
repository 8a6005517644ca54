// The embedded back end: one SQLite connection per worker in WAL mode, foreign keys enforced.
// Writers of this process take turns through the file's write gate (first come, first served),
// and their write transactions all run on the file's one writer connection; the busy handler
// only waits for other processes. Commits are made durable by group commit (see Commit), so that
// a write acknowledged to a client survives a crash or a power loss exactly as with
// synchronous=FULL, while one sync of the log serves every commit that was ready for it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "zdl/base/DatabaseWait.h"
#include "zdl/base/DbDriver.h"
#include "zdl/base/Dialect.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zeb::zdl {

class SqliteFile;

class SqliteConnection : public DbConnection, public std::enable_shared_from_this<SqliteConnection> {
 public:
  // What a connection is for: a worker's own (its reads; its write transactions run on the
  // file's writer), or the file's writer, on which the write transactions of every worker of
  // this process run in turn.
  enum class Role { kWorker, kWriter };

  // Opens (creating when missing) the file at path. Throws kZDLDatabaseUnavailable on failure.
  explicit SqliteConnection(const std::string& path, Role role = Role::kWorker);
  ~SqliteConnection() override;

  std::unique_ptr<DbStatement> Prepare(const std::string& sql) override;
  void ExecScript(const std::string& sql) override;
  void BeginWrite() override;
  void Commit() override;
  void Rollback() override;
  void BeginRead() override;
  void EndRead() override;
  void EndReadForWrite() override;
  bool OthersChangedData() override;

  // The connection a statement of this one runs on now: the file's writer while this one holds
  // a write transaction there, else itself.
  SqliteConnection& Current() { return writing_ ? *writer_ : *this; }
  sqlite3* db() const { return db_; }

  // Called by the connection's statements after each step.
  void AfterStep() {
    if (busyWait_) {
      busyWait_.reset();
      deadline_ = {};
    }
    if (noteSnapshot_) NoteSnapshot();
  }

 private:
  static int OnBusy(void* self, int attempts);
  static int OnLogWritten(void* self, sqlite3* db, const char* name, int frames);
  // Switches to group commit once the file is in WAL mode (a new file gets there after its
  // schema is made).
  void UseGroupCommitInWal();
  // Whether the file is in WAL mode for this connection.
  bool InWalMode();
  // Keeps a view of the file's shared wal-index once the connection has it open in WAL mode.
  void WatchWalIndex();
  // Reads the header of the shared wal-index; false when there is no view of it, or while a
  // commit is changing it.
  bool ReadWalIndexHeader(unsigned char* header) const;
  void NoteSnapshot();
  void ReleaseTurn();
  // Makes everything written to the log so far durable.
  void SyncLog();
  // Waits until the commits the transaction may have seen are durable: an answer built from
  // them must not tell of a write that a power loss could still undo.
  void AwaitSeenDurable();

  // The statements that begin and end transactions, prepared once: parsing one again costs as
  // much as a short read.
  enum Control { kBeginImmediate, kBeginDeferred, kCommit, kDataVersion, kControls };
  // That statement, prepared on first use; null when it cannot be.
  sqlite3_stmt* ControlStatement(Control control);
  // Runs that statement; returns SQLite's result code.
  int Run(Control control);
  void RunOrFail(Control control);

  sqlite3* db_ = nullptr;
  sqlite3_stmt* controls_[kControls] = {};
  std::shared_ptr<SqliteFile> file_;
  std::shared_ptr<SqliteConnection> writer_;  // the file's writer, from the first write on
  bool writing_ = false;                      // a write transaction of this one is open on writer_
  bool logOpen_ = false;                      // this connection has opened the write-ahead log
  bool groupCommit_ = false;   // synchronous=NORMAL, commits synced through the file's group commit
  bool holdsTurn_ = false;
  bool noteSnapshot_ = false;  // a read transaction whose snapshot is not yet taken
  std::uint64_t seen_ = 0;     // the latest commit the current transaction may see
  std::int64_t dataVersion_ = -1;                     // what OthersChangedData last read; -1 before
  // Region 0 of the wal-index SQLite shares between the file's connections, mapped for this
  // connection as long as it is open (it holds its shared lock on the file, so the file cannot
  // leave WAL mode meanwhile); null when not known.
  const volatile unsigned char* walIndex_ = nullptr;
  bool walIndexWatched_ = false;  // WatchWalIndex has run
  // The wal-index header as read just before dataVersion_ was, when seenHeaderValid_.
  unsigned char seenHeader_[48] = {};
  bool seenHeaderValid_ = false;
  std::chrono::steady_clock::time_point deadline_{};  // of the current wait for a lock
  std::optional<CZDLWait> busyWait_;
};

class SqliteDialect : public Dialect {
 public:
  std::string ColumnType(const ColumnDef& column) const override;
  std::string Equals(const std::string& column, bool noCase) const override;
  std::string IndexExpression(const std::string& column, bool noCase, bool nullAsValue) const override;
  std::string InsertIgnore(const std::string& table, const std::vector<std::string>& columns,
                           const std::string& key) const override;
  bool TableExists(SqlRunner& session, const std::string& table) const override;
  std::set<std::string> TableColumns(SqlRunner& session, const std::string& table) const override;
  long long CountTables(SqlRunner& session) const override;
  void PrepareSchema(SqlRunner& session) const override;
  bool CarriesOurMark(SqlRunner& session) const override;
  void AfterOpen(SqlRunner& session) const override;
  // One b-tree instead of a row table and a key index: a row costs one page less to write.
  const char* ClusteredTableOption() const override { return " WITHOUT ROWID"; }
  // Appending to a table stored in its key's index rebalances the last leaves with their
  // neighbours whenever one fills, and its inner pages hold whole rows: a log row then costs two
  // to three pages of the commit's write, where a rowid table's append touches its last page.
  bool SequencesLogs() const override { return true; }
};

// Makes everything written to the write-ahead log of db's file so far durable, through db's own
// handle of the log (a sync covers the whole file, whichever handle wrote to it). REQUIRES: db
// has opened the log (a read does). Throws CZDLException when it cannot.
void SyncWriteAheadLog(sqlite3* db);

// Opens the file at path afresh, read-only, and reads its catalogue, so that a file removed,
// replaced or made unreadable since connections were opened is noticed (they would go on
// reading it). Throws CZDLException kZDLDatabaseUnavailable with the path and SQLite's reason.
void ProbeSqliteFile(const std::string& path);

}  // namespace zeb::zdl
