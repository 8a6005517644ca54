// What differs between SQL back ends: column types, case-insensitive comparison, inserting seed
// rows that may exist already, reading the catalogue for upgrades, and marking a database as
// ours.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "zdl/base/CZDLValue.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {

// What a dialect asks of the session whose database it inspects or prepares.
class SqlRunner {
 public:
  // Every row of a statement with ? placeholders bound to values.
  virtual std::vector<std::vector<CZDLValue>> Rows(const std::string& sql,
                                                   const std::vector<CZDLValue>& values = {}) = 0;
  // Runs statements without results or parameters.
  virtual void Script(const std::string& sql) = 0;

 protected:
  ~SqlRunner() = default;
};

class Dialect {
 public:
  virtual ~Dialect() = default;

  // The SQL type (with collation) of a column.
  virtual std::string ColumnType(const ColumnDef& column) const = 0;
  // An expression comparing column with one ? placeholder; case-insensitively when noCase.
  virtual std::string Equals(const std::string& column, bool noCase) const = 0;
  // The expression a unique index uses for a column.
  virtual std::string IndexExpression(const std::string& column, bool noCase, bool nullAsValue) const = 0;
  // "INSERT ... " of one row that is skipped when its key exists.
  virtual std::string InsertIgnore(const std::string& table, const std::vector<std::string>& columns,
                                   const std::string& key) const = 0;

  virtual bool TableExists(SqlRunner& session, const std::string& table) const = 0;
  // Lower-cased column names of an existing table.
  virtual std::set<std::string> TableColumns(SqlRunner& session, const std::string& table) const = 0;
  // The number of tables in the database (0 for a new one).
  virtual long long CountTables(SqlRunner& session) const = 0;
  // Inside the transaction that creates or upgrades the schema, before any table is made.
  virtual void PrepareSchema(SqlRunner&) const {}
  // False when the database carries another program's mark.
  virtual bool CarriesOurMark(SqlRunner&) const { return true; }
  // After a database of ours was opened (outside any transaction).
  virtual void AfterOpen(SqlRunner&) const {}
  // What follows "CREATE TABLE name (...)" for a table stored in its key's index.
  virtual const char* ClusteredTableOption() const { return ""; }
  // Whether a log (TableDef::log) is stored by a sequence number in a column of its own
  // (kLogSequence, before the key), which the appender gives each row, rather than by its key.
  // The key column then has no index.
  virtual bool SequencesLogs() const { return false; }

  // "INSERT INTO table (...) VALUES (...)" of one row, taking the declared columns in order; for
  // a log stored by sequence, it numbers the row too.
  std::string InsertRow(const TableDef& table) const { return InsertRow(table, table.log && SequencesLogs()); }
  static std::string InsertRow(const TableDef& table, bool sequenced);
  // The statements that create the table with its indexes.
  std::vector<std::string> CreateTable(const TableDef& table) const;
  std::vector<std::string> CreateIndexes(const TableDef& table) const;
  // The statements that drop the indexes of the table's references (CreateIndexes makes them
  // again), for databases made when they held the rows that refer to nothing.
  std::vector<std::string> DropReferenceIndexes(const TableDef& table) const;
  std::string ColumnDefinition(const ColumnDef& column) const;
};

}  // namespace zeb::zdl
