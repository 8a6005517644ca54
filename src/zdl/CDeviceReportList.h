// A read-only report of devices of one class whose name or description matches a pattern: the
// rows the list queries return, with the few columns they show. Patterns use % (any run of
// characters) and _ (any one character) and ignore case; nothing else in them is special.
#pragma once

#include <cstddef>
#include <string>

#include "zdl/CZDLSession.h"
#include "zdl/base/CZDLID.h"

namespace zeb::zdl {

class CDeviceReportList {
 public:
  explicit CDeviceReportList(CZDLSession& session) : session_(session) {}

  // Each selection replaces the rows, ordered by device name, and moves to the first.
  void SelectDeviceByDeviceName(long deviceClass, const std::string& pattern);
  void SelectDeviceByDescription(long deviceClass, const std::string& pattern);
  // The number of devices of the class whose name matches, without reading them.
  std::size_t CountDeviceByDeviceName(long deviceClass, const std::string& pattern);

  std::size_t Count() const { return result_.rows.size(); }
  bool IsEOF() const { return row_ >= result_.rows.size(); }
  void MoveNext() {
    if (row_ < result_.rows.size()) ++row_;
  }

  // Columns of the current row. REQUIRES: !IsEOF().
  std::string GetDeviceID() const { return result_.rows[row_][0].AsText(); }
  std::string GetDeviceName() const { return result_.rows[row_][1].AsText(); }
  long GetProductEnum() const { return static_cast<long>(result_.rows[row_][2].AsInt()); }
  long GetDeviceModel() const { return static_cast<long>(result_.rows[row_][3].AsInt()); }

 private:
  void Select(const char* column, long deviceClass, const std::string& pattern);

  CZDLSession& session_;
  ResultSet result_;
  std::size_t row_ = 0;
};

}  // namespace zeb::zdl
