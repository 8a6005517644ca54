#include "zdl/base/Schema.h"

#include <strings.h>

#include <cctype>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <unordered_map>

#include "zdl/base/CZDLValue.h"

namespace zeb::zdl {

namespace {

ColumnDef MakeColumn(const char* name, ColKind kind, unsigned flags, const char* defaultSql = nullptr) {
  ColumnDef column;
  column.name = name;
  column.kind = kind;
  column.flags = flags;
  column.defaultSql = defaultSql;
  return column;
}

class SchemaBuilder {
 public:
  TableDef& Add(const char* ident, const char* name, const char* display, bool isType) {
    tables_.push_back(std::make_unique<TableDef>());
    TableDef& table = *tables_.back();
    table.ident = ident;
    table.name = name;
    table.display = display;
    table.isType = isType;
    if (isType) {
      table.columns.push_back(MakeColumn("Enum", ColKind::kEnumKey, kNotNull));
      table.columns.push_back(MakeColumn("Name", ColKind::kText, kNotNull | kUnique));
    } else {
      table.columns.push_back(MakeColumn("pkid", ColKind::kKey, kNotNull));
    }
    return table;
  }

  std::vector<const TableDef*> Finish() {
    for (auto& table : tables_) {
      for (int i = 0; i < static_cast<int>(table->columns.size()); ++i) {
        ColumnDef& column = table->columns[i];
        if (column.kind != ColKind::kRef) continue;
        TableDef* target = FindMutable(column.targetIdent);
        column.target = target;
        target->referencedBy.push_back({table.get(), i});
        table->indexes.push_back(i);
      }
      for (const char* label : {"Name", "DomainName", "DNOrPattern", "Tag", "paramName"}) {
        if (table->labelColumn < 0) table->labelColumn = table->Find(label);
      }
    }
    std::vector<const TableDef*> all;
    for (auto& table : tables_) all.push_back(table.get());
    return all;
  }

  // The tables live as long as the process.
  static std::vector<std::unique_ptr<TableDef>>& Owner() {
    static std::vector<std::unique_ptr<TableDef>> tables;
    return tables;
  }

  ~SchemaBuilder() {
    for (auto& table : tables_) Owner().push_back(std::move(table));
  }

 private:
  TableDef* FindMutable(const std::string& ident) {
    for (auto& table : tables_) {
      if (table->ident == ident) return table.get();
    }
    std::abort();  // a declaration refers to a table that is not declared before use
  }

  std::vector<std::unique_ptr<TableDef>> tables_;
};

void AddColumn(TableDef& table, const char* name, ColKind kind, unsigned flags, const char* defaultSql) {
  table.columns.push_back(MakeColumn(name, kind, flags, defaultSql));
}

void AddRef(TableDef& table, const char* name, const char* target, OnDelete onDelete, unsigned flags) {
  ColumnDef column = MakeColumn(name, ColKind::kRef, flags);
  column.targetIdent = target;
  column.onDelete = onDelete;
  table.columns.push_back(column);
}

void AddUnique(TableDef& table, const char* key, const char* message,
               std::initializer_list<const char*> columns) {
  UniqueKeyDef unique{key, message, {}};
  for (const char* column : columns) {
    if (*column) unique.columns.push_back(table.Find(column));
  }
  table.uniques.push_back(unique);
}

std::vector<const TableDef*> Declare() {
  SchemaBuilder schema;
  constexpr const char* NoDefault = nullptr;
  (void)NoDefault;
#define ZDL_TABLE(I, sql, display)                     \
  {                                                    \
    TableDef& t = schema.Add(#I, sql, display, false); \
    (void)t;
#define ZDL_TYPE_TABLE(I, sql, display)               \
  {                                                   \
    TableDef& t = schema.Add(#I, sql, display, true); \
    (void)t;
#define ZDL_COL(I, Stem, sql, Kind, Flags, Default) AddColumn(t, sql, ColKind::k##Kind, Flags, Default);
#define ZDL_REF(I, Stem, sql, Target, OnDel, Flags) AddRef(t, sql, #Target, OnDelete::k##OnDel, Flags);
#define ZDL_UNIQUE(I, Key, message, ...) AddUnique(t, #Key, message, {__VA_ARGS__});
#define ZDL_INDEX(I, column) t.indexes.push_back(t.Find(column));
#define ZDL_CLUSTERED(I) t.clustered = true;
#define ZDL_LOG(I, time) t.clustered = t.log = true, t.logTime = t.Find(time);
#define ZDL_END(I) }
#include "zdl/schema/Schema.def"
#undef ZDL_TABLE
#undef ZDL_TYPE_TABLE
#undef ZDL_COL
#undef ZDL_REF
#undef ZDL_UNIQUE
#undef ZDL_INDEX
#undef ZDL_CLUSTERED
#undef ZDL_LOG
#undef ZDL_END
  return schema.Finish();
}

}  // namespace

int TableDef::Find(const std::string& column) const {
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    if (strcasecmp(columns[i].name.c_str(), column.c_str()) == 0) return i;
  }
  return -1;
}

const std::vector<const TableDef*>& AllTables() {
  static const std::vector<const TableDef*> tables = Declare();
  return tables;
}

namespace {

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

const TableDef* FindTable(const std::string& name) {
  static const auto index = [] {
    std::unordered_map<std::string, const TableDef*> byName;
    for (const TableDef* table : AllTables()) {
      byName.emplace(Lowered(table->name), table);
      byName.emplace(Lowered(table->ident), table);
    }
    return byName;
  }();
  auto found = index.find(Lowered(name));
  return found == index.end() ? nullptr : found->second;
}

const TableDef& TableOf(const char* ident) {
  const TableDef* table = FindTable(ident);
  if (!table) std::abort();
  return *table;
}

CZDLValue DefaultValue(const ColumnDef& column) {
  if (!column.defaultSql) return CZDLValue();
  const std::string literal = column.defaultSql;
  if (literal.size() >= 2 && literal.front() == '\'' && literal.back() == '\'') {
    return CZDLValue(literal.substr(1, literal.size() - 2));
  }
  return CZDLValue(std::strtoll(literal.c_str(), nullptr, 10));
}

}  // namespace zeb::zdl
