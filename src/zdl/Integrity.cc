#include "zdl/Integrity.h"

#include <strings.h>

#include <cstring>

#include "zdl/base/CZDLException.h"
#include "zdl/base/Dialect.h"

namespace zeb::zdl {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

void CheckUniqueColumn(CZDLSession& session, const CItem& item, int index) {
  const TableDef& table = item.table();
  const ColumnDef& column = table.columns[index];
  const CZDLValue& value = item.Value(index);
  if (value.IsNull()) return;
  const std::string sql = "SELECT " + table.keyName() + " FROM " + table.name + " WHERE " +
                          session.dialect().Equals(column.name, column.noCase()) + " AND " + table.keyName() +
                          " <> ?";
  if (session.Query(sql, {value, item.Value(0)}).rows.empty()) return;
  if (index == table.labelColumn) {
    throw CZDLException(kZDLDuplicate, "A " + table.display + " named " + Quoted(value.AsText()) + " already exists.");
  }
  throw CZDLException(kZDLDuplicate, "A " + table.display + " with " + column.name + " " + Quoted(value.AsText()) +
                                         " already exists.");
}

void CheckUniqueKey(CZDLSession& session, const CItem& item, const UniqueKeyDef& key) {
  const TableDef& table = item.table();
  bool touched = item.IsNew();
  for (int index : key.columns) touched = touched || item.IsDirty(index);
  if (!touched) return;
  std::string where;
  std::vector<CZDLValue> values;
  for (int index : key.columns) {
    const ColumnDef& column = table.columns[index];
    if (!where.empty()) where += " AND ";
    if (item.Value(index).IsNull()) {
      where += column.name + " IS NULL";
    } else {
      where += session.dialect().Equals(column.name, column.noCase());
      values.push_back(item.Value(index));
    }
  }
  values.push_back(item.Value(0));
  if (session.Query("SELECT " + table.keyName() + " FROM " + table.name + " WHERE " + where + " AND " +
                        table.keyName() + " <> ?",
                    values)
          .rows.empty()) {
    return;
  }
  std::string message = key.message;
  const std::size_t at = message.find("%s");
  if (at != std::string::npos) message.replace(at, 2, item.Value(key.columns[0]).AsText());
  throw CZDLException(kZDLDuplicate, message);
}

void CheckReference(CZDLSession& session, const CItem& item, int index) {
  const ColumnDef& column = item.table().columns[index];
  const CZDLValue& value = item.Value(index);
  if (value.IsNull()) return;
  if (!session.Query("SELECT pkid FROM " + column.target->name + " WHERE pkid = ?", {value}).rows.empty()) return;
  throw CZDLException(kZDLReferenceMissing, "The " + column.target->display + " " + value.AsText() +
                                                " referred to by this " + item.table().display +
                                                " does not exist.");
}

// Names a referring row: by its label, or through the record that owns it.
std::string Referrer(CZDLSession& session, const TableDef& table, const std::vector<CZDLValue>& row,
                     const std::vector<std::string>& names) {
  auto valueOf = [&](const std::string& column) -> CZDLValue {
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (strcasecmp(names[i].c_str(), column.c_str()) == 0) return row[i];
    }
    return CZDLValue();
  };
  if (table.labelColumn >= 0) {
    return table.display + " " + Quoted(valueOf(table.columns[table.labelColumn].name).AsText());
  }
  for (const ColumnDef& column : table.columns) {
    if (column.kind == ColKind::kRef && column.onDelete == OnDelete::kCascade && column.target->labelColumn >= 0) {
      return "a " + table.display + " of " + column.target->display + " " +
             RowLabel(session, *column.target, valueOf(column.name));
    }
  }
  return table.display + " " + valueOf(table.keyName()).AsText();
}

void CheckDeleteFrom(CZDLSession& session, const TableDef& table, const CZDLValue& key, const TableDef& origin,
                     const CZDLValue& originKey, int depth) {
  if (depth > 8) return;
  for (const ReferenceDef& ref : table.referencedBy) {
    const ColumnDef& column = ref.table->columns[ref.column];
    if (column.onDelete == OnDelete::kSetNull) continue;
    const std::string sql = "SELECT * FROM " + ref.table->name + " WHERE " + column.name + " = ?";
    const ResultSet rows = session.Query(sql, {key});
    for (const auto& row : rows.rows) {
      const CZDLValue& rowKey = row[rows.Column(ref.table->keyName())];
      if (ref.table == &table && rowKey == key) continue;  // the row itself
      if (column.onDelete == OnDelete::kCascade) {
        CheckDeleteFrom(session, *ref.table, rowKey, origin, originKey, depth + 1);
        continue;
      }
      throw CZDLException(kZDLStillReferenced, "The " + origin.display + " " + RowLabel(session, origin, originKey) +
                                                   " cannot be removed because it is still used by " +
                                                   Referrer(session, *ref.table, row, rows.columns.names()) + ".");
    }
  }
}

}  // namespace

std::string RowLabel(CZDLSession& session, const TableDef& table, const CZDLValue& key) {
  if (table.labelColumn < 0) return key.AsText();
  const ResultSet row = session.Query("SELECT " + table.columns[table.labelColumn].name + " FROM " + table.name +
                                          " WHERE " + table.keyName() + " = ?",
                                      {key});
  return row.rows.empty() ? key.AsText() : Quoted(row.rows[0][0].AsText());
}

void CheckWrite(CZDLSession& session, const CItem& item) {
  const TableDef& table = item.table();
  for (int i = 1; i < static_cast<int>(table.columns.size()); ++i) {
    if (!item.IsNew() && !item.IsDirty(i)) continue;
    const ColumnDef& column = table.columns[i];
    if (column.notNull() && item.Value(i).IsNull()) {
      throw CZDLException(kZDLRequiredValue,
                          "The " + table.display + " cannot be written without a value for " + column.name + ".");
    }
    if (column.flags & kUnique) CheckUniqueColumn(session, item, i);
    if (column.kind == ColKind::kRef) CheckReference(session, item, i);
  }
  for (const UniqueKeyDef& key : table.uniques) CheckUniqueKey(session, item, key);
}

void CheckDelete(CZDLSession& session, const TableDef& table, const CZDLValue& key) {
  CheckDeleteFrom(session, table, key, table, key, 0);
}


}  // namespace zeb::zdl
