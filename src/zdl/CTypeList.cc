#include "zdl/CTypeList.h"

#include <strings.h>

#include "zdl/CZDLDatabase.h"
#include "zdl/base/CZDLException.h"

namespace zeb::zdl {

CTypeList::CTypeList(CZDLSession& session, const std::string& table)
    : table_(session.database().types().Get(session, table)) {}

bool CTypeList::Find(long number) {
  auto found = table_->byNumber.find(number);
  if (found == table_->byNumber.end()) return false;
  row_ = found->second;
  return true;
}

bool CTypeList::Find(const std::string& text) {
  auto found = table_->byText.find(text);
  if (found == table_->byText.end()) return false;
  row_ = found->second;
  return true;
}

long CTypeList::GetEnum() const {
  if (IsBOF()) throw CZDLException(kZDLInvalidOperation, "The type table is empty.");
  return static_cast<long>(table_->rows[row_].number);
}

const std::string& CTypeList::GetText() const {
  if (IsBOF()) throw CZDLException(kZDLInvalidOperation, "The type table is empty.");
  return table_->rows[row_].text;
}

std::string CTypeList::GetStringRef(long number) const {
  auto found = table_->byNumber.find(number);
  return found == table_->byNumber.end() ? std::string() : table_->rows[found->second].text;
}

const CZDLValue& CTypeList::GetColumn(const std::string& column) const {
  if (IsBOF()) throw CZDLException(kZDLInvalidOperation, "The type table is empty.");
  for (std::size_t i = 0; i < table_->columns.size(); ++i) {
    if (strcasecmp(table_->columns[i].c_str(), column.c_str()) == 0) return table_->rows[row_].values[i];
  }
  throw CZDLException(kZDLInvalidParameter, "Unknown column " + column + " of a type table.");
}

}  // namespace zeb::zdl
