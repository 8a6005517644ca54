// Enumerated type tables kept in memory: they are seed data, read on first use and then served
// from here. Invalidate() drops them (a schema upgrade on start, or another node's change).
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "zdl/base/CZDLValue.h"

namespace zeb::zdl {

class CZDLSession;

struct TypeTable {
  struct Row {
    long long number;
    std::string text;
    std::vector<CZDLValue> values;  // every column, in result order
  };
  std::vector<std::string> columns;
  std::vector<Row> rows;             // in Enum order
  std::map<long long, std::size_t> byNumber;
  std::unordered_map<std::string, std::size_t> byText;  // exact, case-sensitive
};

class TypeTableCache {
 public:
  // The table, read through session on first use. Throws CZDLException for an unknown table.
  std::shared_ptr<const TypeTable> Get(CZDLSession& session, const std::string& table);
  void Invalidate();

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const TypeTable>> tables_;
};

}  // namespace zeb::zdl
