// A selection of records of one table with a cursor, and the pending inserts, changes and
// deletes that Update writes in one transaction. The generated list classes (CDeviceList, ...)
// derive from CItemList<Record> and add SelectBy<Column> for references and text columns.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zdl/CItem.h"
#include "zdl/CZDLSession.h"

namespace zeb::zdl {

// The statement CItemListBase::SelectBy runs for a value that is not NULL (one ? placeholder).
std::string SelectBySql(const Dialect& dialect, const TableDef& table, int column);

class CItemListBase {
 public:
  CItemListBase(CZDLSession& session, const TableDef& table);
  virtual ~CItemListBase() = default;
  CItemListBase(const CItemListBase&) = delete;
  CItemListBase& operator=(const CItemListBase&) = delete;

  // Each selection replaces the list's records (pending changes are dropped) and moves the
  // cursor to the first record.
  void SelectAll();
  void SelectByID(const CZDLID& id);
  // Records whose column equals value; text columns declared without case compare so.
  void SelectBy(int column, const CZDLValue& value);
  // Records matching a WHERE clause with ? placeholders; orderBy is appended when not empty.
  void SelectWhere(const std::string& where, const std::vector<CZDLValue>& values,
                   const std::string& orderBy = "");

  // Records in the list that are not deleted.
  std::size_t Count() const { return items_.size(); }
  void MoveFirst() { cursor_ = 0; }
  void MoveNext() {
    if (cursor_ < items_.size()) ++cursor_;
  }
  bool IsEOF() const { return cursor_ >= items_.size(); }

  // Marks the current record deleted (the cursor moves to the next). REQUIRES: !IsEOF().
  void Delete();
  void DeleteAll();
  // Writes every pending insert, change and delete in one transaction, checking uniqueness,
  // references and required values first. Throws CZDLException and leaves the database
  // unchanged when any check or write fails.
  void Update();

  CZDLSession& session() const { return session_; }
  const TableDef& table() const { return table_; }

 protected:
  std::shared_ptr<CItem> CurrentBase() const;
  std::shared_ptr<CItem> InsertBase();
  std::shared_ptr<CItem> ItemAt(std::size_t index) const { return items_[index]; }
  virtual std::shared_ptr<CItem> MakeItem() const = 0;

 private:
  void Load(const std::string& sql, const std::vector<CZDLValue>& values);
  void Write();

  CZDLSession& session_;
  const TableDef& table_;
  std::vector<std::shared_ptr<CItem>> items_;
  std::vector<std::shared_ptr<CItem>> deleted_;
  std::size_t cursor_ = 0;
};

template <class T>
class CItemList : public CItemListBase {
 public:
  explicit CItemList(CZDLSession& session) : CItemListBase(session, T::Table()) {}

  // The record under the cursor. REQUIRES: !IsEOF().
  SmartItemPtr<T> GetCurrentItem() const { return std::static_pointer_cast<T>(CurrentBase()); }
  // The record at position index of the list. REQUIRES: index < Count().
  SmartItemPtr<T> GetItem(std::size_t index) const { return std::static_pointer_cast<T>(ItemAt(index)); }
  // Appends a new record with a fresh identifier and the columns' defaults; it becomes current.
  SmartItemPtr<T> Insert() { return std::static_pointer_cast<T>(InsertBase()); }

 protected:
  std::shared_ptr<CItem> MakeItem() const override { return std::make_shared<T>(); }
};

}  // namespace zeb::zdl
