#include "zdl/TypeTableCache.h"

#include <algorithm>
#include <cctype>

#include "zdl/CZDLSession.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {

std::shared_ptr<const TypeTable> TypeTableCache::Get(CZDLSession& session, const std::string& name) {
  std::string key = name;
  std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = tables_.find(key);
    if (found != tables_.end()) return found->second;
  }
  const TableDef* def = FindTable(name);
  if (!def || !def->isType) throw CZDLException(kZDLInvalidParameter, "Unknown type table: " + name);
  ResultSet result = session.Query("SELECT * FROM " + def->name + " ORDER BY Enum");
  auto table = std::make_shared<TypeTable>();
  table->columns = result.columns.names();
  const int number = result.Column("Enum");
  const int text = result.Column("Name");
  for (auto& values : result.rows) {
    TypeTable::Row row{values[number].AsInt(), values[text].AsText(), std::move(values)};
    table->byNumber.emplace(row.number, table->rows.size());
    table->byText.emplace(row.text, table->rows.size());
    table->rows.push_back(std::move(row));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return tables_.emplace(key, std::move(table)).first->second;
}

void TypeTableCache::Invalidate() {
  std::lock_guard<std::mutex> lock(mutex_);
  tables_.clear();
}

}  // namespace zeb::zdl
