// The small interface a database back end implements: prepared statements with bound values,
// row stepping, column reads, and transactions. Failures are thrown as CZDLException.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zdl/base/CZDLValue.h"

namespace zeb::zdl {

class DbStatement {
 public:
  virtual ~DbStatement() = default;
  // Clears earlier results and bindings and binds values to the ? placeholders in order.
  virtual void Bind(const std::vector<CZDLValue>& values) = 0;
  // Advances to the next row; false when there is none (or the statement returns no rows).
  virtual bool Step() = 0;
  virtual int ColumnCount() = 0;
  virtual std::string ColumnName(int index) = 0;
  virtual CZDLValue Column(int index) = 0;
  // Rows changed by the last INSERT, UPDATE or DELETE.
  virtual long long Changes() = 0;
};

class DbConnection {
 public:
  virtual ~DbConnection() = default;
  // SQL uses ? placeholders and unquoted identifiers.
  virtual std::unique_ptr<DbStatement> Prepare(const std::string& sql) = 0;
  // Sends bound statements of this connection ahead, so that reading their results (in this
  // order) costs one round trip where the back end can; elsewhere it does nothing.
  virtual void Send(const std::vector<DbStatement*>& /*statements*/) {}
  // Runs statements without results or parameters (DDL, pragmas).
  virtual void ExecScript(const std::string& sql) = 0;
  // Starts a write transaction that holds the write lock from its first statement.
  virtual void BeginWrite() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  // A read-only transaction (one snapshot for several statements) and its end.
  virtual void BeginRead() = 0;
  virtual void EndRead() = 0;
  // Ends a read-only transaction that a write transaction follows at once.
  virtual void EndReadForWrite() { EndRead(); }
  // REQUIRES: a read-only transaction. Takes its snapshot if no statement has yet, and tells
  // whether it holds a change that another connection (of this process or another) committed
  // since this connection's previous call; true at the first call. A back end whose changes
  // are announced otherwise answers false.
  virtual bool OthersChangedData() { return false; }
  // Times this connection sent commands to a database server and waited for the answer (a
  // pipeline of several statements is one); 0 for a back end without a server.
  virtual std::uint64_t roundTrips() const { return 0; }
  // Whether statements sent together (Send) cost less than one at a time: a server's round trip.
  virtual bool pipelinesReads() const { return false; }
};

// Connections made again by this process since it started (lost, or closed by the server). A
// driver notes each one.
std::uint64_t DatabaseReconnects();
void NoteDatabaseReconnect();

// Whether the server a database's connections reach is read-only: a PostgreSQL hot standby, in
// recovery. Shared by the connections of one database: each notes what it found when it
// connected (again), and the standby watch what its polls find (a promoted standby becomes
// writable). Thread-safe.
class ServerRole {
 public:
  bool readOnly() const { return readOnly_.load(std::memory_order_acquire); }
  void Note(bool readOnly) { readOnly_.store(readOnly, std::memory_order_release); }

 private:
  std::atomic<bool> readOnly_{false};
};

}  // namespace zeb::zdl
