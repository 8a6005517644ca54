#include "zdl/CFastAccess.h"

#include "zdl/base/CZDLException.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {

CFastAccess::CFastAccess(CZDLSession& session, std::string table) : session_(session), table_(FindTable(table)) {
  if (!table_) throw CZDLException(kZDLInvalidParameter, "Unknown table: " + table);
}

std::string RecordByIdSql(const TableDef& table) {
  return "SELECT * FROM " + table.name + " WHERE " + table.keyName() + " = ?";
}

void CFastAccess::SelectAll() { SelectCustom("SELECT * FROM " + table_->name); }

void CFastAccess::SelectByID(const CZDLID& id) {
  SelectCustom(RecordByIdSql(*table_), {CZDLValue(id)});
}

void CFastAccess::SelectCustom(const std::string& sql, const std::vector<CZDLValue>& values) {
  result_ = session_.Query(sql, values);
  row_ = 0;
}

const CZDLValue& CFastAccess::Get(const std::string& column) const {
  if (IsEOF()) throw CZDLException(kZDLInvalidOperation, "No current row of " + table_->name + ".");
  const int index = result_.Column(column);
  if (index < 0) throw CZDLException(kZDLInvalidParameter, "Unknown column " + column + " of " + table_->name + ".");
  return result_.rows[row_][index];
}

CZDLID CFastAccess::getID(const std::string& column) const {
  const CZDLValue& value = Get(column);
  return value.IsNull() ? CZDLID() : CZDLID::FromCanonical(value.AsText());
}

}  // namespace zeb::zdl
