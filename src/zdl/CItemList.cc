#include "zdl/CItemList.h"

#include <strings.h>

#include "zdl/CFastAccess.h"
#include "zdl/Integrity.h"
#include "zdl/WriteHooks.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/Dialect.h"

namespace zeb::zdl {

CItemListBase::CItemListBase(CZDLSession& session, const TableDef& table) : session_(session), table_(table) {}

void CItemListBase::Load(const std::string& sql, const std::vector<CZDLValue>& values) {
  const ResultSet result = session_.Query(sql, values);
  // "SELECT *" gives the declared columns in their order (an upgraded table has added ones at
  // its end): look a name up only where it is not the declared one at its place.
  std::vector<int> map(result.columns.size());
  for (std::size_t i = 0; i < result.columns.size(); ++i) {
    const bool inPlace = i < table_.columns.size() &&
                         strcasecmp(table_.columns[i].name.c_str(), result.columns[i].c_str()) == 0;
    map[i] = inPlace ? static_cast<int>(i) : table_.Find(result.columns[i]);
  }
  items_.clear();
  deleted_.clear();
  cursor_ = 0;
  items_.reserve(result.rows.size());
  for (const auto& row : result.rows) {
    std::shared_ptr<CItem> item = MakeItem();
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (map[i] >= 0) item->values_[map[i]] = row[i];
    }
    items_.push_back(std::move(item));
  }
}

void CItemListBase::SelectAll() { Load("SELECT * FROM " + table_.name, {}); }

void CItemListBase::SelectByID(const CZDLID& id) {
  Load(RecordByIdSql(table_), {CZDLValue(id)});
}

std::string SelectBySql(const Dialect& dialect, const TableDef& table, int column) {
  const ColumnDef& def = table.columns.at(column);
  return "SELECT * FROM " + table.name + " WHERE " + dialect.Equals(def.name, def.noCase());
}

void CItemListBase::SelectBy(int column, const CZDLValue& value) {
  const ColumnDef& def = table_.columns.at(column);
  if (value.IsNull()) {
    Load("SELECT * FROM " + table_.name + " WHERE " + def.name + " IS NULL", {});
  } else {
    Load(SelectBySql(session_.dialect(), table_, column), {value});
  }
}

void CItemListBase::SelectWhere(const std::string& where, const std::vector<CZDLValue>& values,
                                const std::string& orderBy) {
  std::string sql = "SELECT * FROM " + table_.name + " WHERE " + where;
  if (!orderBy.empty()) sql += " ORDER BY " + orderBy;
  Load(sql, values);
}

std::shared_ptr<CItem> CItemListBase::CurrentBase() const {
  if (IsEOF()) throw CZDLException(kZDLInvalidOperation, "No current " + table_.display + " record.");
  return items_[cursor_];
}

std::shared_ptr<CItem> CItemListBase::InsertBase() {
  std::shared_ptr<CItem> item = MakeItem();
  for (std::size_t i = 1; i < table_.columns.size(); ++i) item->values_[i] = DefaultValue(table_.columns[i]);
  if (!table_.isType) item->values_[0] = CZDLValue(CZDLID::New());
  item->isNew_ = true;
  items_.push_back(item);
  cursor_ = items_.size() - 1;
  return item;
}

void CItemListBase::Delete() {
  if (IsEOF()) throw CZDLException(kZDLInvalidOperation, "No current " + table_.display + " record to delete.");
  if (!items_[cursor_]->isNew_) deleted_.push_back(items_[cursor_]);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(cursor_));
}

void CItemListBase::DeleteAll() {
  for (auto& item : items_) {
    if (!item->isNew_) deleted_.push_back(item);
  }
  items_.clear();
  cursor_ = 0;
}

void CItemListBase::Write() {
  const std::string& key = table_.keyName();
  for (const auto& item : deleted_) {
    BeforeDelete(session_, table_, item->values_[0]);
    CheckDelete(session_, table_, item->values_[0]);
    session_.Execute("DELETE FROM " + table_.name + " WHERE " + key + " = ?", {item->values_[0]});
    session_.NoteWritten(table_, item->values_[0]);
    AfterDelete(session_, *item);
  }
  for (const auto& item : items_) {
    if (!item->isNew_ && !item->HasChanges()) continue;
    BeforeWrite(session_, *item);
    CheckWrite(session_, *item);
    session_.NoteWritten(table_, item->values_[0]);
    std::vector<CZDLValue> values;
    if (item->isNew_) {
      std::string names, marks;
      for (std::size_t i = 0; i < table_.columns.size(); ++i) {
        names += (i ? ", " : "") + table_.columns[i].name;
        marks += i ? ", ?" : "?";
        values.push_back(item->values_[i]);
      }
      session_.Execute("INSERT INTO " + table_.name + " (" + names + ") VALUES (" + marks + ")", values);
      AfterInsert(session_, *item);
    } else {
      std::string sets;
      for (std::size_t i = 1; i < table_.columns.size(); ++i) {
        if (!item->dirty_[i]) continue;
        sets += (sets.empty() ? "" : ", ") + table_.columns[i].name + " = ?";
        values.push_back(item->values_[i]);
      }
      values.push_back(item->values_[0]);
      session_.Execute("UPDATE " + table_.name + " SET " + sets + " WHERE " + key + " = ?", values);
      AfterUpdate(session_, *item);
    }
  }
}

void CItemListBase::Update() {
  bool pending = !deleted_.empty();
  for (const auto& item : items_) pending = pending || item->isNew_ || item->HasChanges();
  if (!pending) return;
  CZDLTransaction transaction(session_);
  Write();
  transaction.Commit();
  deleted_.clear();
  for (auto& item : items_) {
    item->isNew_ = false;
    item->dirty_.assign(item->dirty_.size(), false);
  }
}

}  // namespace zeb::zdl
