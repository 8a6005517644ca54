// The shared back end: one libpq connection to a PostgreSQL database. Statements are prepared
// once per connection and re-prepared after a reconnect; values travel as text. Write
// transactions hold a database-wide advisory lock, so the library's integrity checks see no
// concurrent writer, whichever node the writer runs on. A transaction that wrote rows announces
// the tables it wrote on the change channel when it commits (see PgChangeListener).
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "zdl/base/DbDriver.h"

struct pg_conn;
struct pg_result;

namespace zeb::zdl {

class PgStatement;

// The channel on which committed changes are announced. The payload is the writing process's
// token, a blank, and the written tables separated by commas.
extern const char kChangeChannel[];

// True when location names a PostgreSQL database: a postgresql:// or postgres:// URI, or a libpq
// key=value connection string (one that starts with a libpq keyword and '='). Anything else is
// a file path for the embedded back end.
bool IsPostgresLocation(const std::string& location);

// The location without its password, for messages and logs.
std::string PostgresDisplayName(const std::string& location);

// The SQL text with each ? placeholder outside quoted strings and identifiers replaced by $1,
// $2, ... in order. count receives the number of placeholders.
std::string NumberPlaceholders(const std::string& sql, int* count);

// The table an INSERT INTO, UPDATE or DELETE FROM statement writes, lower-cased; "" for other
// statements.
std::string WrittenTable(const std::string& sql);

class PgConnection : public DbConnection {
 public:
  // A connection to location, made by the first command (so that a server that cannot be
  // reached fails a request, not the making of a session). token names this process in change
  // announcements; role is told whether the server is in recovery at every connection made.
  PgConnection(const std::string& location, std::string token, ServerRole& role);
  ~PgConnection() override;

  std::unique_ptr<DbStatement> Prepare(const std::string& sql) override;
  void ExecScript(const std::string& sql) override;
  void BeginWrite() override;
  void Commit() override;
  void Rollback() override;
  void BeginRead() override;
  void EndRead() override;
  void EndReadForWrite() override;
  // Sends the statements in one pipeline (with the start of a read snapshot that is still to be
  // sent) and reads every result: one round trip for all of them.
  void Send(const std::vector<DbStatement*>& statements) override;
  // Every command sent and waited for counts, making and preparing included. The COMMIT that
  // ends a read snapshot is sent without waiting and collected with the next command (by then
  // long answered): it does not count.
  std::uint64_t roundTrips() const override { return roundTrips_; }
  bool pipelinesReads() const override { return true; }

  // Used by the statements of this connection.
  // A read snapshot has begun, but its start travels with its first statement.
  bool startPending() const { return startPending_; }
  pg_conn* handle() const { return conn_; }
  // Bumped by every reconnect: statements prepared under an older epoch are prepared again.
  unsigned long epoch() const { return epoch_; }
  // A fresh name for a server-side prepared statement.
  std::string NextStatementName();
  // Connects, or reconnects when the connection is known to be broken. Throws
  // kZDLDatabaseUnavailable when that fails, and when the connection broke inside a transaction
  // (the transaction is lost).
  void EnsureUsable();
  // The last result of the command just sent (or a failed result when sent is false), read
  // without blocking past the request's deadline; see AwaitResult.
  pg_result* Collect(bool sent);
  // Sends sql (one or more commands) and returns its last result, as PQexec does.
  pg_result* Exec(const char* sql);
  // The next result of a pipeline (nullptr at the end of a command's results).
  pg_result* NextResult();
  // Throws the library exception for a failed result (which is freed).
  [[noreturn]] void Fail(pg_result* result);
  // Whether the failed result says the connection is gone.
  bool ConnectionLost(const pg_result* result) const;
  // Notes rows written to table, to be announced when the transaction commits (at once outside
  // a transaction).
  void NoteWrite(const std::string& table);
  // Releases a statement prepared under epoch on the server, with the next transaction start.
  void Forget(const std::string& statement, unsigned long epoch);

 private:
  void Connect();
  void Reset();
  // Waits until the next result can be read without blocking. A wait that lasts is counted on
  // the database server's gate; past the request's deadline, or when the gate is full, the
  // connection is given up (Abandon).
  void AwaitResult();
  // Asks the server to cancel what runs, drops the connection (the server rolls back its
  // transaction; the next command connects afresh) and throws kZDLDatabaseUnavailable with text.
  [[noreturn]] void Abandon(const std::string& text);
  bool Usable() const;
  // Reads the answer to the COMMIT that ended the last read-only snapshot.
  void CollectEndOfRead();
  // Runs a parameterless command; throws on failure.
  void Run(const char* sql);
  // Runs a command that opens a transaction; reconnects once and repeats it when the
  // connection turns out to have been lost while idle. Returns false when the command's last
  // value is false (a lock it tried was taken).
  bool Start(const char* sql);
  // Takes the result of a command of a transaction's start (see Start); throws for a failure,
  // rolling back what began.
  bool Began(pg_result* result);
  // Sends the snapshot start still pending, if any, on its own.
  void FlushStart();
  // The pipeline of Send, once.
  void RunPipeline(const std::vector<PgStatement*>& statements);
  void Announce();
  // Reads every result of the commands sent last and returns the last one (nullptr when none).
  pg_result* Drain();

  const std::string location_;
  const std::string token_;
  ServerRole& role_;
  pg_conn* conn_ = nullptr;
  unsigned long epoch_ = 0;
  unsigned long nextStatement_ = 0;
  bool inTransaction_ = false;
  bool broken_ = false;  // the server said the connection is going, libpq may not know yet
  bool unreachable_ = false;  // the last attempt to connect failed
  bool endingRead_ = false;  // a COMMIT was sent and its answer not yet read
  bool startPending_ = false;   // BeginRead was called, nothing sent yet
  bool commitPending_ = false;  // the read snapshot ends with the next transaction start
  std::string unused_;  // DEALLOCATE commands for the next transaction start
  std::set<std::string> written_;
  std::uint64_t roundTrips_ = 0;
};

}  // namespace zeb::zdl
