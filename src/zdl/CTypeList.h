// One enumerated type table: its rows in Enum order, found by number or by text. Served from the
// database's type cache.
#pragma once

#include <memory>
#include <string>

#include "zdl/CZDLSession.h"
#include "zdl/TypeTableCache.h"

namespace zeb::zdl {

class CTypeList {
 public:
  // Throws CZDLException kZDLInvalidParameter when table is not a declared type table.
  CTypeList(CZDLSession& session, const std::string& table);

  // True when the table holds no row.
  bool IsBOF() const { return table_->rows.empty(); }
  // Positions on the row with that number (or exactly that text); false when there is none,
  // leaving the position unchanged.
  bool Find(long number);
  bool Find(const std::string& text);
  // The number and text of the current row. REQUIRES: a successful Find or a non-empty table.
  long GetEnum() const;
  const std::string& GetText() const;
  // The text for a number, or "" when there is none.
  std::string GetStringRef(long number) const;
  // Another column of the current row ("tkClass", "Code", ...).
  const CZDLValue& GetColumn(const std::string& column) const;

 private:
  std::shared_ptr<const TypeTable> table_;
  std::size_t row_ = 0;
};

}  // namespace zeb::zdl
