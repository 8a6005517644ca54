#include "zdl/CDeviceReportList.h"

namespace zeb::zdl {

// The class test is written +tkClass so that the planner does not walk the class index (every
// phone) when the name index can narrow the pattern's literal prefix.
void CDeviceReportList::Select(const char* column, long deviceClass, const std::string& pattern) {
  result_ = session_.Query(std::string("SELECT pkid, Name, tkProduct, tkModel FROM Device WHERE +tkClass = ? AND ") +
                               column + " LIKE ? ORDER BY Name",
                           {deviceClass, pattern});
  row_ = 0;
}

void CDeviceReportList::SelectDeviceByDeviceName(long deviceClass, const std::string& pattern) {
  Select("Name", deviceClass, pattern);
}

void CDeviceReportList::SelectDeviceByDescription(long deviceClass, const std::string& pattern) {
  Select("Description", deviceClass, pattern);
}

std::size_t CDeviceReportList::CountDeviceByDeviceName(long deviceClass, const std::string& pattern) {
  // "%" matches every name (names are never NULL), so the count needs only the class index.
  const ResultSet count =
      pattern == "%" ? session_.Query("SELECT COUNT(*) FROM Device WHERE tkClass = ?", {deviceClass})
                     : session_.Query("SELECT COUNT(*) FROM Device WHERE tkClass = ? AND Name LIKE ?",
                                      {deviceClass, pattern});
  return static_cast<std::size_t>(count.rows.at(0).at(0).AsInt());
}

}  // namespace zeb::zdl
