// The embedded back end: one SQLite connection in WAL mode with a busy time-out, foreign keys
// enforced, and synchronous=FULL so that a write acknowledged to a client survives a crash or a
// power loss.
#pragma once

#include <memory>
#include <string>

#include "zdl/DbDriver.h"
#include "zdl/Dialect.h"

struct sqlite3;

namespace zeb::zdl {

class SqliteConnection : public DbConnection {
 public:
  // Opens (creating when missing) the file at path. Throws kZDLDatabaseUnavailable on failure.
  explicit SqliteConnection(const std::string& path);
  ~SqliteConnection() override;

  std::unique_ptr<DbStatement> Prepare(const std::string& sql) override;
  void ExecScript(const std::string& sql) override;
  void BeginWrite() override;
  void Commit() override;
  void Rollback() override;
  void BeginRead() override;
  void EndRead() override;

 private:
  sqlite3* db_ = nullptr;
};

class SqliteDialect : public Dialect {
 public:
  std::string ColumnType(const ColumnDef& column) const override;
  std::string Equals(const std::string& column, bool noCase) const override;
  std::string IndexExpression(const std::string& column, bool noCase, bool nullAsValue) const override;
  std::string InsertIgnore(const std::string& table, const std::vector<std::string>& columns,
                           const std::string& key) const override;
  bool TableExists(CZDLSession& session, const std::string& table) const override;
  std::set<std::string> TableColumns(CZDLSession& session, const std::string& table) const override;
  long long CountTables(CZDLSession& session) const override;
  void PrepareSchema(CZDLSession& session) const override;
  bool CarriesOurMark(CZDLSession& session) const override;
  void AfterOpen(CZDLSession& session) const override;
};

}  // namespace zeb::zdl
