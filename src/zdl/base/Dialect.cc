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
std::string IndexName(const TableDef& table, const ColumnDef& column) {
  return "ix_" + table.name + "_" + column.name;
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
  const bool sequenced = table.log && SequencesLogs();
  std::string sql = "CREATE TABLE " + table.name + " (";
  if (sequenced) sql += std::string(kLogSequence) + " INTEGER PRIMARY KEY, " + table.keyName() + " TEXT NOT NULL";
  for (std::size_t i = sequenced ? 1 : 0; i < table.columns.size(); ++i) {
    if (i) sql += ", ";
    sql += ColumnDefinition(table.columns[i]);
  }
  sql += ")";
  if (table.clustered && !sequenced) sql += ClusteredTableOption();
  std::vector<std::string> statements{sql};
  for (std::string& index : CreateIndexes(table)) statements.push_back(std::move(index));
  return statements;
}

std::string Dialect::InsertRow(const TableDef& table, bool sequenced) {
  std::string names, values;
  if (sequenced) {
    names = std::string(kLogSequence) + ", ";
    values = "max(?" + std::to_string(table.logTime + 1) + " * " + std::to_string(kLogSequencesPerMicro) +
             ", coalesce((SELECT max(" + kLogSequence + ") FROM " + table.name + ") + 1, 0)), ";
  }
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    names += (i ? ", " : "") + table.columns[i].name;
    values += i ? ", ?" : "?";
    if (sequenced) values += std::to_string(i + 1);  // numbered: the time is bound twice
  }
  return "INSERT INTO " + table.name + " (" + names + ") VALUES (" + values + ")";
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
    const ColumnDef& column = table.columns[index];
    std::string sql = "CREATE INDEX IF NOT EXISTS " + IndexName(table, column) + " ON " + table.name + " (" +
                      column.name + ")";
    // Most references of a row are usually unset, and a change pays for every index entry it
    // writes; what looks rows up by a reference (integrity checks, lists) looks for a value.
    // A reference that is never unset gets a whole index: SQLite does not use a partial one for
    // "column = ?" on a NOT NULL column, so every look-up by it would read the whole table.
    if (column.kind == ColKind::kRef && !column.notNull()) sql += " WHERE " + column.name + " IS NOT NULL";
    statements.push_back(std::move(sql));
  }
  return statements;
}

std::vector<std::string> Dialect::DropReferenceIndexes(const TableDef& table) const {
  std::vector<std::string> statements;
  for (int index : table.indexes) {
    const ColumnDef& column = table.columns[index];
    if (column.kind == ColKind::kRef)
      statements.push_back("DROP INDEX IF EXISTS " + IndexName(table, column));
  }
  return statements;
}

}  // namespace zeb::zdl
