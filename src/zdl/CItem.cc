#include "zdl/CItem.h"

namespace zeb::zdl {

CItem::CItem(const TableDef& table) : table_(&table), values_(table.columns.size()), dirty_(table.columns.size()) {}

CZDLID CItem::GetID() const {
  if (table_->isType) return CZDLID();
  return CZDLID::FromCanonical(values_[0].AsText());
}

CZDLID CItem::GetRef(int column) const {
  const CZDLValue& value = values_[column];
  return value.IsNull() ? CZDLID() : CZDLID::FromCanonical(value.AsText());
}

void CItem::SetValue(int column, CZDLValue value) {
  values_[column] = std::move(value);
  dirty_[column] = true;
}

bool CItem::HasChanges() const {
  for (bool dirty : dirty_) {
    if (dirty) return true;
  }
  return false;
}

}  // namespace zeb::zdl
