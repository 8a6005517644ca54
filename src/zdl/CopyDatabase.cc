#include "zdl/CopyDatabase.h"

#include <chrono>
#include <filesystem>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <utility>

#include "zdl/CZDLDatabase.h"
#include "zdl/Drivers.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {

namespace {

// Columns that refer to a row of their own table are written after every row is in.
std::vector<int> SelfReferences(const TableDef& table) {
  std::vector<int> columns;
  for (int i = 0; i < static_cast<int>(table.columns.size()); ++i) {
    if (table.columns[i].kind == ColKind::kRef && table.columns[i].target == &table) columns.push_back(i);
  }
  return columns;
}

constexpr long long kProgressRows = 500;

double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void CopyTable(CZDLSession& source, CZDLSession& target, const TableDef& table, const CopyProgress& progress) {
  // A log's rows go in key order, which is the order they were appended in, so that a target
  // that numbers them in that order numbers them as the source's appender did.
  const ResultSet rows =
      source.Query("SELECT * FROM " + table.name + (table.log ? " ORDER BY " + table.keyName() : ""));
  const long long total = static_cast<long long>(rows.rows.size());
  long long done = 0;
  if (progress) progress(table.name, 0, total);
  std::vector<int> from(table.columns.size());
  for (std::size_t i = 0; i < table.columns.size(); ++i) from[i] = rows.Column(table.columns[i].name);
  const std::vector<int> selfReferences = SelfReferences(table);
  const std::string insert = target.dialect().InsertRow(table);
  std::vector<std::pair<std::vector<CZDLValue>, int>> later;  // (value, key) and the column
  for (const auto& row : rows.rows) {
    std::vector<CZDLValue> values(table.columns.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      values[i] = from[i] >= 0 ? row[from[i]] : DefaultValue(table.columns[i]);
    }
    for (int column : selfReferences) {
      if (values[column].IsNull()) continue;
      later.push_back({{values[column], values[0]}, column});
      values[column] = CZDLValue();
    }
    target.Execute(insert, values);
    if (progress && ++done % kProgressRows == 0 && done < total) progress(table.name, done, total);
  }
  for (const auto& [values, column] : later) {
    target.Execute("UPDATE " + table.name + " SET " + table.columns[column].name + " = ? WHERE " + table.keyName() +
                       " = ?",
                   values);
  }
  if (progress) progress(table.name, total, total);
}

long long CountRows(CZDLSession& session, const TableDef& table) {
  return session.Query("SELECT count(*) FROM " + table.name).rows.at(0).at(0).AsInt();
}

}  // namespace

std::vector<TableCount> CopyDatabase(const std::string& from, const std::string& to, const CopyProgress& progress) {
  if (!IsSharedLocation(from) && !std::filesystem::exists(from)) {
    throw CZDLException(kZDLDatabaseUnavailable, "There is no configuration database " + from + ".");
  }
  auto source = CZDLDatabase::Open(from);
  auto target = CZDLDatabase::CreateEmpty(to);
  CZDLSession& in = source->Session();
  CZDLSession& out = target->Session();
  {
    CZDLReadScope snapshot(in);
    CZDLTransaction transaction(out);
    for (const TableDef* table : AllTables()) CopyTable(in, out, *table, progress);
    transaction.Commit();
  }
  std::vector<TableCount> counts;
  CZDLReadScope snapshot(in);
  for (const TableDef* table : AllTables()) counts.push_back({table->name, CountRows(in, *table), CountRows(out, *table)});
  return counts;
}

CopyProgressView::CopyProgressView(std::ostream& out, bool terminal, double intervalSeconds)
    : out_(out), terminal_(terminal), interval_(intervalSeconds) {}

void CopyProgressView::Update(const std::string& table, long long done, long long total) {
  const double now = Seconds();
  if (table != table_) table_ = table, tableStart_ = now;
  const bool finished = done == total;
  if (!finished && now - lastShown_ < (terminal_ ? 0.1 : interval_)) return;
  if (finished && !terminal_) return;  // the count table at the end says it
  lastShown_ = now;
  const double elapsed = now - tableStart_;
  const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
  std::ostringstream line;
  if (terminal_) {
    constexpr int kWidth = 24;
    const int filled = total > 0 ? static_cast<int>(kWidth * done / total) : kWidth;
    line << '\r' << std::left << std::setw(34) << table << " [" << std::string(filled, '#')
         << std::string(kWidth - filled, '-') << "] ";
  } else {
    line << "zebd copy: " << table << ": ";
  }
  line << done << "/" << total << " rows, " << static_cast<long long>(rate) << " rows/s";
  if (!finished && rate > 0) line << ", " << static_cast<long long>((total - done) / rate + 0.5) << " s left";
  line << (terminal_ ? (finished ? "\x1b[K\n" : "\x1b[K") : "\n");
  out_ << line.str() << std::flush;
}

int RunCopyCommand(int argc, char** argv, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  std::string from, to;
  for (int i = 0; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--from") {
      from = argv[i + 1];
    } else if (option == "--to") {
      to = argv[i + 1];
    } else {
      from.clear();
      break;
    }
  }
  // Given twice, either would be a guess.
  if (argc != 4) from.clear();
  if (argc % 2 != 0 || from.empty() || to.empty()) {
    err << "usage: zebd copy --from LOCATION --to LOCATION\n"
           "Copies every row of a configuration database (an embedded database file or a\n"
           "postgresql:// location) into a database that has none yet, then compares the\n"
           "row counts of every table.\n";
    return 2;
  }
  std::vector<TableCount> counts;
  try {
    CopyProgressView view(err, errIsTerminal);
    counts = CopyDatabase(from, to, [&view](const std::string& table, long long done, long long total) {
      view.Update(table, done, total);
    });
  } catch (const std::exception& error) {
    err << "zebd copy: " << error.what() << "\n";
    return 1;
  }
  int mismatches = 0;
  out << std::left << std::setw(34) << "table" << std::right << std::setw(10) << "source" << std::setw(10)
      << "target" << "\n";
  for (const TableCount& count : counts) {
    const bool same = count.source == count.target;
    mismatches += same ? 0 : 1;
    out << std::left << std::setw(34) << count.table << std::right << std::setw(10) << count.source
        << std::setw(10) << count.target << (same ? "" : "  MISMATCH") << "\n";
  }
  if (mismatches) {
    err << "zebd copy: " << mismatches << " table(s) differ\n";
    return 1;
  }
  out << "copied " << counts.size() << " tables, every count matches\n";
  return 0;
}

}  // namespace zeb::zdl
