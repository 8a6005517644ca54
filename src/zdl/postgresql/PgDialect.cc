#include "zdl/postgresql/PgDialect.h"

namespace zeb::zdl {

std::string PgDialect::ColumnType(const ColumnDef& column) const {
  switch (column.kind) {
    case ColKind::kEnumKey:
    case ColKind::kInt:
    case ColKind::kBool:
    case ColKind::kEnum: return "BIGINT";
    case ColKind::kText: return column.noCase() ? "CITEXT COLLATE \"C\"" : "TEXT COLLATE \"C\"";
    default: return "TEXT COLLATE \"C\"";
  }
}

std::string PgDialect::Equals(const std::string& column, bool) const {
  // CITEXT columns compare without case by themselves.
  return column + " = ?";
}

std::string PgDialect::IndexExpression(const std::string& column, bool noCase, bool nullAsValue) const {
  if (!nullAsValue) return column;
  // A CITEXT value keeps its comparison; any other column is compared as its text.
  return noCase ? "COALESCE(" + column + ", '')" : "COALESCE(CAST(" + column + " AS TEXT), '')";
}

std::string PgDialect::InsertIgnore(const std::string& table, const std::vector<std::string>& columns,
                                    const std::string&) const {
  std::string names, marks;
  for (const std::string& column : columns) {
    names += (names.empty() ? "" : ", ") + column;
    marks += marks.empty() ? "?" : ", ?";
  }
  return "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ") ON CONFLICT DO NOTHING";
}

bool PgDialect::TableExists(SqlRunner& session, const std::string& table) const {
  return !session
              .Rows(
                  "SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = current_schema() AND tablename = "
                  "lower(?)",
                  {table})
              .empty();
}

std::set<std::string> PgDialect::TableColumns(SqlRunner& session, const std::string& table) const {
  std::set<std::string> names;
  const auto rows = session.Rows(
      "SELECT column_name FROM information_schema.columns WHERE table_schema = current_schema() AND "
      "table_name = lower(?)",
      {table});
  for (const auto& row : rows) names.insert(row[0].AsText());
  return names;
}

long long PgDialect::CountTables(SqlRunner& session) const {
  return session.Rows("SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema()")
      .at(0)
      .at(0)
      .AsInt();
}

void PgDialect::PrepareSchema(SqlRunner& session) const {
  session.Script("CREATE EXTENSION IF NOT EXISTS citext");
}

}  // namespace zeb::zdl
