// A read-only cursor over rows of one table or of a custom query, with column reads by name.
// Builders use it to read a record by identifier or the rows of a custom select.
#pragma once

#include <string>
#include <vector>

#include "zdl/CZDLSession.h"
#include "zdl/base/CZDLID.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {

// The statement that reads one record of table by identifier (one ? placeholder).
std::string RecordByIdSql(const TableDef& table);

class CFastAccess {
 public:
  CFastAccess(CZDLSession& session, std::string table);

  // Each selection replaces the rows and moves to the first.
  void SelectAll();
  void SelectByID(const CZDLID& id);
  void SelectByID(const std::string& idText) { SelectByID(CZDLID(idText)); }
  // sql uses ? placeholders for every value.
  void SelectCustom(const std::string& sql, const std::vector<CZDLValue>& values = {});

  bool IsEOF() const { return row_ >= result_.rows.size(); }
  void MoveNext() {
    if (row_ < result_.rows.size()) ++row_;
  }
  void MoveFirst() { row_ = 0; }
  std::size_t Count() const { return result_.rows.size(); }

  // Column reads of the current row (case-insensitive names). A column the row does not have
  // throws CZDLException kZDLInvalidParameter; NULL reads as "", 0 or the null identifier.
  std::string getString(const std::string& column) const { return Get(column).AsText(); }
  std::string getText(const std::string& column) const { return Get(column).AsText(); }
  std::string getGuid(const std::string& column) const { return Get(column).AsText(); }
  CZDLID getID(const std::string& column) const;
  long getInt(const std::string& column) const { return static_cast<long>(Get(column).AsInt()); }
  bool getBool(const std::string& column) const { return Get(column).AsInt() != 0; }
  bool isNull(const std::string& column) const { return Get(column).IsNull(); }
  const CZDLValue& Get(const std::string& column) const;

 private:
  CZDLSession& session_;
  const TableDef* table_;
  ResultSet result_;
  std::size_t row_ = 0;
};

}  // namespace zeb::zdl
