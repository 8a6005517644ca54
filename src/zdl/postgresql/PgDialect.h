// The SQL of the shared back end. Names compared without case are CITEXT (the citext extension
// is created with the schema); every text column sorts by its bytes ("C" collation), as the
// embedded back end does, so both back ends list records in the same order.
#pragma once

#include <string>
#include <vector>

#include "zdl/base/Dialect.h"

namespace zeb::zdl {

class PgDialect : public Dialect {
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
};

}  // namespace zeb::zdl
