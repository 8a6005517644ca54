#include "support/DatabaseSnapshot.h"

#include <algorithm>
#include <vector>

#include "zdl/CZDLDatabase.h"
#include "zdl/Schema.h"

namespace zeb::test {

std::string DatabaseSnapshot(const std::string& location) {
  auto db = zdl::CZDLDatabase::Open(location);
  zdl::CZDLSession& session = db->Session();
  std::string text;
  for (const zdl::TableDef* table : zdl::AllTables()) {
    const zdl::ResultSet result = session.Query("SELECT * FROM " + table->name);
    std::vector<std::string> rows;
    for (const auto& row : result.rows) {
      std::string line;
      for (std::size_t i = 0; i < row.size(); ++i) line += result.columns[i] + "=" + (row[i].IsNull() ? std::string("NULL") : "'" + row[i].AsText() + "'") + ";";
      rows.push_back(line);
    }
    std::sort(rows.begin(), rows.end());
    text += "[" + table->name + "]\n";
    for (const std::string& row : rows) text += row + "\n";
  }
  return text;
}

}  // namespace zeb::test
