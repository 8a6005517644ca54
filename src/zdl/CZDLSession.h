// One thread's connection to the configuration database: statement cache, queries with bound
// values, and nested transactions. Obtained from CZDLDatabase::Session(); used by one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "zdl/base/CZDLValue.h"
#include "zdl/base/DbDriver.h"
#include "zdl/base/Dialect.h"

namespace zeb::zdl {

class CZDLDatabase;
class CZDLReadAhead;
class CZDLSession;
class Dialect;
struct TableDef;

// Watches the write transactions of a session, for the audit log: called inside an outermost
// write transaction that wrote rows through the record lists, just before it commits. A throw
// rolls the transaction back and reaches the committer.
class CommitHook {
 public:
  virtual ~CommitHook() = default;
  // table and key: the record the transaction changed (see CZDLSession::NoteWritten).
  virtual void BeforeCommit(CZDLSession& session, const TableDef& table, const CZDLValue& key) = 0;
};

// The column names of a result with a look-up by name. Copies share one list: the results of
// one prepared statement all share the list made for its first.
class ResultColumns {
 public:
  ResultColumns() = default;
  explicit ResultColumns(std::vector<std::string> names);

  std::size_t size() const { return list_ ? list_->names.size() : 0; }
  bool empty() const { return size() == 0; }
  const std::string& operator[](std::size_t index) const { return list_->names[index]; }
  const std::vector<std::string>& names() const;
  // Index of the column (case-insensitive), or -1.
  int Find(const std::string& name) const;
  // The same columns without the last one.
  ResultColumns WithoutLast() const;

 private:
  struct NoCaseHash {
    std::size_t operator()(const std::string& name) const;
  };
  struct NoCaseEqual {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  struct List {
    std::vector<std::string> names;
    std::unordered_map<std::string, int, NoCaseHash, NoCaseEqual> byName;
  };
  std::shared_ptr<const List> list_;
};

// A fully read result: column names and rows of values.
struct ResultSet {
  ResultColumns columns;
  std::vector<std::vector<CZDLValue>> rows;

  // Index of the column (case-insensitive), or -1.
  int Column(const std::string& name) const { return columns.Find(name); }
};

// A statement with ? placeholders and the values bound to them.
struct Statement {
  std::string sql;
  std::vector<CZDLValue> values;
};

class CZDLSession final : public SqlRunner {
 public:
  CZDLSession(CZDLDatabase& database, std::unique_ptr<DbConnection> connection);
  ~CZDLSession();
  CZDLSession(const CZDLSession&) = delete;
  CZDLSession& operator=(const CZDLSession&) = delete;

  CZDLDatabase& database() const { return database_; }
  const Dialect& dialect() const;

  // Runs a statement with ? placeholders bound to values, reading every row.
  ResultSet Query(const std::string& sql, const std::vector<CZDLValue>& values = {});
  // Runs several statements that depend on no result of one another, in one round trip where
  // the back end can; returns their results in order.
  std::vector<ResultSet> QueryAll(const std::vector<Statement>& statements);
  // Runs a statement that returns no rows; returns the number of rows it changed.
  long long Execute(const std::string& sql, const std::vector<CZDLValue>& values = {});
  void ExecScript(const std::string& sql);
  // The dialect's view of the session.
  std::vector<std::vector<CZDLValue>> Rows(const std::string& sql,
                                           const std::vector<CZDLValue>& values) override {
    return Query(sql, values).rows;
  }
  void Script(const std::string& sql) override { ExecScript(sql); }

  // Transactions nest: the outermost Begin starts a write transaction, inner ones only count.
  // A Rollback at any depth rolls the whole transaction back once the outermost level ends.
  void Begin();
  void Commit();
  void Rollback();
  bool InTransaction() const { return depth_ > 0; }
  // Statements sent to the database so far (not those answered by a read-ahead).
  std::uint64_t statementsRun() const { return statementsRun_; }
  // Round trips to the database server so far (see DbConnection::roundTrips).
  std::uint64_t roundTrips() const { return connection_->roundTrips(); }
  // Whether reading ahead in one batch (CZDLReadAhead) saves round trips on this back end; where
  // it does not, builders read as they go.
  bool pipelinesReads() const { return connection_->pipelinesReads(); }
  // Installs the hook the outermost commits call (null: none). The caller keeps it alive.
  void SetCommitHook(CommitHook* hook) { hook_ = hook; }
  // Tells the session that the record lists wrote this row. The commit hook sees the
  // transaction's first row of a table that does not go with an owner, or its first row when
  // all do.
  void NoteWritten(const TableDef& table, const CZDLValue& key);
  // A read-only snapshot; see CZDLReadScope.
  void BeginRead();
  void EndRead();
  // REQUIRES: a read-only snapshot. Drops the answers the database keeps when the snapshot
  // holds a change that another connection committed since this session last looked: the
  // embedded file may be written by other processes, which announce nothing.
  void LookForOthersChanges();

 private:
  friend class CZDLReadAhead;

  struct Prepared {
    std::unique_ptr<DbStatement> statement;
    ResultColumns columns;  // of its last result
  };

  Prepared& Prepare(const std::string& sql);
  ResultSet ReadAll(DbStatement& statement, ResultColumns& columns);
  // Caches may have been filled from a snapshot older than a change another process made
  // meanwhile: they are dropped again when the snapshot ends.
  void RememberForeignChanges();
  void DropCachesFilledFromStaleSnapshot();

  CZDLDatabase& database_;
  std::unique_ptr<DbConnection> connection_;
  std::unordered_map<std::string, Prepared> statements_;
  int depth_ = 0;
  bool failed_ = false;
  bool reading_ = false;
  std::uint64_t foreignChanges_ = 0;  // the database's count when the snapshot began
  std::uint64_t statementsRun_ = 0;
  CZDLReadAhead* readAhead_ = nullptr;  // the innermost one alive
  CommitHook* hook_ = nullptr;
  const TableDef* firstTable_ = nullptr;  // the transaction's first written row, or null
  CZDLValue firstKey_;
};

// Holds one read snapshot for a scope, so that the reads of one request see one state of the
// database and pay for the snapshot once. Does nothing inside a transaction.
class CZDLReadScope {
 public:
  explicit CZDLReadScope(CZDLSession& session);
  ~CZDLReadScope();
  CZDLReadScope(const CZDLReadScope&) = delete;
  CZDLReadScope& operator=(const CZDLReadScope&) = delete;

 private:
  CZDLSession& session_;
  bool active_ = false;
};

// Holds a write transaction for a scope: rolled back unless Commit was called.
class CZDLTransaction {
 public:
  explicit CZDLTransaction(CZDLSession& session) : session_(session) { session_.Begin(); }
  ~CZDLTransaction();
  CZDLTransaction(const CZDLTransaction&) = delete;
  CZDLTransaction& operator=(const CZDLTransaction&) = delete;

  void Commit();

 private:
  CZDLSession& session_;
  bool done_ = false;
};

}  // namespace zeb::zdl
