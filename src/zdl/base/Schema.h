// The runtime description of every table, built from the declarations in schema/*.def: columns
// with their kinds and flags, references with their delete rule, unique keys and indexes. The
// DDL, the generic reads and writes and the integrity checks are all derived from it.
#pragma once

#include <string>
#include <vector>

namespace zeb::zdl {

enum class ColKind { kKey, kEnumKey, kText, kInt, kBool, kEnum, kGuid, kRef };
enum class OnDelete { kNone, kRestrict, kCascade, kSetNull };

// Column flags used in the declarations.
enum ColFlag : unsigned { kNotNull = 1, kUnique = 2, kNoCase = 4, kNullable = 8 };

struct TableDef;

struct ColumnDef {
  std::string name;  // SQL name as declared ("fkRoutePartition")
  ColKind kind = ColKind::kText;
  unsigned flags = 0;
  const char* defaultSql = nullptr;  // SQL literal, or null for none
  std::string targetIdent;           // kRef: the referenced table's identifier
  OnDelete onDelete = OnDelete::kNone;
  const TableDef* target = nullptr;  // kRef: resolved after all tables are declared

  bool notNull() const { return flags & kNotNull; }
  bool noCase() const { return flags & kNoCase; }
};

struct UniqueKeyDef {
  std::string name;
  std::string message;  // "%s" stands for the first column's value
  std::vector<int> columns;
};

// A column of another table that refers to this one.
struct ReferenceDef {
  const TableDef* table;
  int column;
};

struct TableDef {
  std::string ident;               // declaration identifier ("RoutePartition"); record class C<ident>
  std::string name;                // SQL table name
  std::string display;             // name used in messages ("Route Partition")
  bool isType = false;             // an enumerated type table keyed by "Enum"
  std::vector<ColumnDef> columns;  // column 0 is the key ("pkid" or "Enum")
  std::vector<UniqueKeyDef> uniques;
  std::vector<int> indexes;
  std::vector<ReferenceDef> referencedBy;
  int labelColumn = -1;  // the column that names a row in messages, or -1
  // Rows are stored in the key's own index, in key order, where the back end can (ZDL_CLUSTERED).
  bool clustered = false;
  // A log (ZDL_LOG): rows are only appended and removed oldest first. A back end may store them
  // by a sequence number of their own (Dialect::SequencesLogs) instead of in key order; the
  // number is made from the row's time, in logTime (microseconds since 1970).
  bool log = false;
  int logTime = -1;

  // Index of the column with this name (case-insensitive), or -1.
  int Find(const std::string& column) const;
  const std::string& keyName() const { return columns[0].name; }
};

// The column of a sequence-stored log (Dialect::SequencesLogs) that orders its rows. A row's
// number is the larger of its time times kLogSequencesPerMicro and the last row's number plus
// one. So the numbers keep the order rows were appended in, every row written at or after time
// t has a number of at least t times kLogSequencesPerMicro, and every row numbered below that is
// older than t.
inline constexpr char kLogSequence[] = "Seq";
inline constexpr long long kLogSequencesPerMicro = 1024;

// Every declared table, in declaration order (each after the tables it refers to).
const std::vector<const TableDef*>& AllTables();
// The table of that SQL name or identifier (case-insensitive), or null.
const TableDef* FindTable(const std::string& name);

// The table declared with that identifier; aborts when there is none (a programming error).
const TableDef& TableOf(const char* ident);

// The SQL literal default of a column as a value ("0" -> 0, "''" -> "", none -> NULL).
class CZDLValue;
CZDLValue DefaultValue(const ColumnDef& column);

}  // namespace zeb::zdl
