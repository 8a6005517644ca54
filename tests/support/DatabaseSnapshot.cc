#include "support/DatabaseSnapshot.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "zdl/CZDLDatabase.h"
#include "zdl/base/Schema.h"

namespace zeb::test {

namespace {

// The database of the last snapshot stays open: tests take many snapshots of one database, and
// opening it (connecting, checking the schema) costs more than reading it.
zdl::CZDLSession& SessionFor(const std::string& location) {
  static std::string openLocation;
  static std::unique_ptr<zdl::CZDLDatabase> db;
  if (!db || openLocation != location) {
    db.reset();
    db = zdl::CZDLDatabase::Open(location);
    openLocation = location;
  }
  return db->Session();
}

}  // namespace

std::string DatabaseSnapshot(const std::string& location) {
  zdl::CZDLSession& session = SessionFor(location);
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
