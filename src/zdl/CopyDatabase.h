// Moving a configuration database to another location, typically from the embedded back end to
// a shared PostgreSQL database: every row of every table is copied into a database that has no
// rows yet, and the copy is checked by counting each table's rows on both sides.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace zeb::zdl {

struct TableCount {
  std::string table;
  long long source = 0;
  long long target = 0;
};

// Told of a table's rows as they are copied: done of total, at the start (0), every few
// hundred rows and at the end (done == total).
using CopyProgress = std::function<void(const std::string& table, long long done, long long total)>;

// Copies the database at from (which must exist; an older one is upgraded first) into the
// database at to, which must have no tables or only our empty schema. The rows are written in
// one transaction. Returns the row counts of every table, read back after the copy. Throws
// CZDLException when a database cannot be opened, the target is not empty, or a write fails
// (the target then has no rows).
std::vector<TableCount> CopyDatabase(const std::string& from, const std::string& to,
                                     const CopyProgress& progress = {});

// `zebd copy --from LOCATION --to LOCATION`: copies, shows its progress on err (a bar per
// table when err is a terminal, else a line every few seconds), prints one line per table with
// both counts, and returns the process exit code: 0 when every count matches, 1 on a mismatch
// or a failure, 2 for wrong arguments.
int RunCopyCommand(int argc, char** argv, std::ostream& out, std::ostream& err, bool errIsTerminal = false);

// Shows copy progress on out: a bar redrawn in place on a terminal, else a line every interval.
class CopyProgressView {
 public:
  CopyProgressView(std::ostream& out, bool terminal, double intervalSeconds = 5);
  void Update(const std::string& table, long long done, long long total);

 private:
  std::ostream& out_;
  const bool terminal_;
  const double interval_;
  std::string table_;
  double tableStart_ = 0;
  double lastShown_ = 0;
};

}  // namespace zeb::zdl
