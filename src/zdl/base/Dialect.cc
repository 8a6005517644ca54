#include "zdl/base/Dialect.h"

namespace zeb::zdl {

namespace {
const char* DeleteRule(OnDelete rule) {
  switch (rule) {
    case OnDelete::kCascade:
      return " ON DELETE CASCADE";
    case OnDelete::kSetNull:
      return " ON DELETE SET NULL";
    default:
      return " ON DELETE RESTRICT";
  }
}
}  // namespace

std::string Dialect::ColumnDefinition(const ColumnDef& column) const {
  std::string text = column.name + " " + ColumnType(column);
  if (column.kind == ColKind::kKey || column.kind == ColKind::kEnumKey) return text + " PRIMARY KEY NOT NULL";
  if (column.notNull()) text += " NOT NULL";
  if (column.defaultSql) text += std::string(" DEFAULT ") + column.defaultSql;
  if (column.kind == ColKind::kRef) {
    text += " REFERENCES " + column.target->name + "(pkid)" + DeleteRule(column.onDelete);
  }
  return text;
}

std::vector<std::string> Dialect::CreateTable(const TableDef& table) const {
  std::string sql = "CREATE TABLE " + table.name + " (";
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (i) sql += ", ";
    sql += ColumnDefinition(table.columns[i]);
  }
  sql += ")";
  std::vector<std::string> statements{sql};
  for (std::string& index : CreateIndexes(table)) statements.push_back(std::move(index));
  return statements;
}

std::vector<std::string> Dialect::CreateIndexes(const TableDef& table) const {
  std::vector<std::string> statements;
  for (std::size_t i = 1; i < table.columns.size(); ++i) {
    const ColumnDef& column = table.columns[i];
    if (!(column.flags & kUnique)) continue;
    statements.push_back("CREATE UNIQUE INDEX IF NOT EXISTS ux_" + table.name + "_" + column.name + " ON " +
                         table.name + " (" + IndexExpression(column.name, column.noCase(), false) + ")");
  }
  for (const UniqueKeyDef& unique : table.uniques) {
    std::string columns;
    for (int index : unique.columns) {
      const ColumnDef& column = table.columns[index];
      if (!columns.empty()) columns += ", ";
      columns += IndexExpression(column.name, column.noCase(), !column.notNull());
    }
    statements.push_back("CREATE UNIQUE INDEX IF NOT EXISTS ux_" + table.name + "_" + unique.name + " ON " +
                         table.name + " (" + columns + ")");
  }
  for (int index : table.indexes) {
    const std::string& column = table.columns[index].name;
    statements.push_back("CREATE INDEX IF NOT EXISTS ix_" + table.name + "_" + column + " ON " + table.name +
                         " (" + column + ")");
  }
  return statements;
}

}  // namespace zeb::zdl
