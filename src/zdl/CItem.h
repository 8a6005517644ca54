// A record of one table held in memory: its values, which of them changed, and whether it is
// new. Records are made and written by their list (CItemList); the generated subclasses
// (CRoutePartition, CDevice, ...) add a typed Get/Put pair per column.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zdl/base/CZDLID.h"
#include "zdl/base/CZDLValue.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {

class CItem {
 public:
  explicit CItem(const TableDef& table);
  virtual ~CItem() = default;

  const TableDef& table() const { return *table_; }
  // The record's identifier (for type tables, empty; use the Enum column).
  CZDLID GetID() const;

  const CZDLValue& Value(int column) const { return values_[column]; }
  // Stores a value; the column is written by the next Update of the record's list.
  void SetValue(int column, CZDLValue value);
  bool IsDirty(int column) const { return dirty_[column]; }
  bool IsNew() const { return isNew_; }
  bool HasChanges() const;

 protected:
  std::string GetText(int column) const { return values_[column].AsText(); }
  long GetLong(int column) const { return static_cast<long>(values_[column].AsInt()); }
  bool GetBool(int column) const { return values_[column].AsInt() != 0; }
  CZDLID GetRef(int column) const;
  void PutText(int column, const std::string& value) { SetValue(column, CZDLValue(value)); }
  void PutLong(int column, long value) { SetValue(column, CZDLValue(value)); }
  void PutBool(int column, bool value) { SetValue(column, CZDLValue(value)); }
  void PutRef(int column, const CZDLID& value) { SetValue(column, CZDLValue(value)); }

 private:
  friend class CItemListBase;

  const TableDef* table_;
  std::vector<CZDLValue> values_;
  std::vector<bool> dirty_;
  bool isNew_ = false;
};

// A counted reference to a record.
template <class T>
using SmartItemPtr = std::shared_ptr<T>;

}  // namespace zeb::zdl
