// What differs between SQL back ends: column types, case-insensitive comparison, inserting seed
// rows that may exist already, reading the catalogue for upgrades, and marking a database as
// ours.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "zdl/Schema.h"

namespace zeb::zdl {

class CZDLSession;

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

  virtual bool TableExists(CZDLSession& session, const std::string& table) const = 0;
  // Lower-cased column names of an existing table.
  virtual std::set<std::string> TableColumns(CZDLSession& session, const std::string& table) const = 0;
  // The number of tables in the database (0 for a new one).
  virtual long long CountTables(CZDLSession& session) const = 0;
  // Inside the transaction that creates or upgrades the schema, before any table is made.
  virtual void PrepareSchema(CZDLSession&) const {}
  // False when the database carries another program's mark.
  virtual bool CarriesOurMark(CZDLSession&) const { return true; }
  // After a database of ours was opened (outside any transaction).
  virtual void AfterOpen(CZDLSession&) const {}

  // The statements that create the table with its indexes.
  std::vector<std::string> CreateTable(const TableDef& table) const;
  std::vector<std::string> CreateIndexes(const TableDef& table) const;
  std::string ColumnDefinition(const ColumnDef& column) const;
};

}  // namespace zeb::zdl
