#include "zdl/CZDLSession.h"

#include <strings.h>

#include <algorithm>
#include <cctype>

#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLReadAhead.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {

namespace {
constexpr std::size_t kStatementCacheLimit = 1000;
}  // namespace

std::size_t ResultColumns::NoCaseHash::operator()(const std::string& name) const {
  std::size_t hash = 14695981039346656037ull;  // FNV-1a over the lower-cased bytes
  for (char c : name) {
    hash ^= static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
    hash *= 1099511628211ull;
  }
  return hash;
}

bool ResultColumns::NoCaseEqual::operator()(const std::string& a, const std::string& b) const {
  return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

ResultColumns::ResultColumns(std::vector<std::string> names) {
  auto list = std::make_shared<List>();
  list->names = std::move(names);
  // The first of names that differ only in case wins, as in a search from the left.
  for (int i = 0; i < static_cast<int>(list->names.size()); ++i) list->byName.emplace(list->names[i], i);
  list_ = std::move(list);
}

const std::vector<std::string>& ResultColumns::names() const {
  static const std::vector<std::string> kNone;
  return list_ ? list_->names : kNone;
}

int ResultColumns::Find(const std::string& name) const {
  if (!list_) return -1;
  const auto found = list_->byName.find(name);
  return found == list_->byName.end() ? -1 : found->second;
}

ResultColumns ResultColumns::WithoutLast() const {
  std::vector<std::string> names = this->names();
  if (!names.empty()) names.pop_back();
  return ResultColumns(std::move(names));
}

CZDLSession::CZDLSession(CZDLDatabase& database, std::unique_ptr<DbConnection> connection)
    : database_(database), connection_(std::move(connection)) {}

CZDLSession::~CZDLSession() = default;

const Dialect& CZDLSession::dialect() const { return database_.dialect(); }

CZDLSession::Prepared& CZDLSession::Prepare(const std::string& sql) {
  auto found = statements_.find(sql);
  if (found != statements_.end()) return found->second;
  if (statements_.size() >= kStatementCacheLimit) statements_.clear();
  return statements_.emplace(sql, Prepared{connection_->Prepare(sql), {}}).first->second;
}

ResultSet CZDLSession::Query(const std::string& sql, const std::vector<CZDLValue>& values) {
  if (readAhead_) {
    if (const ResultSet* known = readAhead_->Find(sql, values)) return *known;
  }
  Prepared& prepared = Prepare(sql);
  prepared.statement->Bind(values);
  ++statementsRun_;
  return ReadAll(*prepared.statement, prepared.columns);
}

std::vector<ResultSet> CZDLSession::QueryAll(const std::vector<Statement>& statements) {
  // The cache is not cleared half-way, which would free statements already taken from it.
  if (statements_.size() + statements.size() >= kStatementCacheLimit) statements_.clear();
  std::vector<DbStatement*> prepared;
  std::vector<ResultColumns*> columns;
  std::vector<Prepared> repeated;  // a text that comes twice needs two statements
  repeated.reserve(statements.size());
  for (const Statement& statement : statements) {
    Prepared* cached = &Prepare(statement.sql);
    if (std::find(prepared.begin(), prepared.end(), cached->statement.get()) != prepared.end()) {
      repeated.push_back(Prepared{connection_->Prepare(statement.sql), {}});
      cached = &repeated.back();
    }
    prepared.push_back(cached->statement.get());
    columns.push_back(&cached->columns);
    cached->statement->Bind(statement.values);
  }
  connection_->Send(prepared);
  statementsRun_ += statements.size();
  std::vector<ResultSet> results;
  results.reserve(statements.size());
  for (std::size_t i = 0; i < prepared.size(); ++i) results.push_back(ReadAll(*prepared[i], *columns[i]));
  return results;
}

ResultSet CZDLSession::ReadAll(DbStatement& statement, ResultColumns& columns) {
  ResultSet result;
  const int count = statement.ColumnCount();
  // The names are read once per statement, and again when its columns changed: an upgrade only
  // adds columns, so a statement that "SELECT *" prepared before it returns more of them after.
  if (columns.size() != static_cast<std::size_t>(count)) {
    std::vector<std::string> names;
    names.reserve(count);
    for (int i = 0; i < count; ++i) names.push_back(statement.ColumnName(i));
    columns = ResultColumns(std::move(names));
  }
  result.columns = columns;
  while (statement.Step()) {
    std::vector<CZDLValue> row;
    row.reserve(count);
    for (int i = 0; i < count; ++i) row.push_back(statement.Column(i));
    result.rows.push_back(std::move(row));
  }
  return result;
}

long long CZDLSession::Execute(const std::string& sql, const std::vector<CZDLValue>& values) {
  DbStatement& statement = *Prepare(sql).statement;
  statement.Bind(values);
  ++statementsRun_;
  while (statement.Step()) {
  }
  return statement.Changes();
}

void CZDLSession::RememberForeignChanges() { foreignChanges_ = database_.foreignChanges(); }

void CZDLSession::DropCachesFilledFromStaleSnapshot() {
  if (database_.foreignChanges() != foreignChanges_) database_.InvalidateCaches();
}

void CZDLSession::ExecScript(const std::string& sql) { connection_->ExecScript(sql); }

void CZDLSession::Begin() {
  if (depth_ == 0 && reading_) {
    // A write inside a read scope: the snapshot ends, the write transaction takes over.
    reading_ = false;
    connection_->EndReadForWrite();
  }
  if (depth_++ == 0) {
    failed_ = false;
    firstTable_ = nullptr;
    RememberForeignChanges();
    try {
      connection_->BeginWrite();
    } catch (...) {
      depth_ = 0;
      throw;
    }
  }
}

void CZDLSession::Commit() {
  if (depth_ == 0) return;
  if (--depth_ > 0) return;
  DropCachesFilledFromStaleSnapshot();
  if (failed_) {
    connection_->Rollback();
    throw CZDLException(kZDLGeneralError, "The transaction was rolled back by an inner failure.");
  }
  try {
    if (hook_ && firstTable_) hook_->BeforeCommit(*this, *firstTable_, firstKey_);
    connection_->Commit();
  } catch (...) {
    // A commit whose answer was lost may still have been made.
    database_.NoteCommit();
    try {
      connection_->Rollback();
    } catch (...) {
    }
    throw;
  }
  database_.NoteCommit();
}

void CZDLSession::Rollback() {
  if (depth_ == 0) return;
  failed_ = true;
  if (--depth_ > 0) return;
  DropCachesFilledFromStaleSnapshot();
  connection_->Rollback();
}

// A row that goes with its owner (a member, a line appearance) is the record a change is about
// only when the change wrote no record of its own.
static bool IsOwnedRow(const TableDef& table) {
  for (const ColumnDef& column : table.columns) {
    if (column.kind == ColKind::kRef && column.onDelete == OnDelete::kCascade) return true;
  }
  return false;
}

void CZDLSession::NoteWritten(const TableDef& table, const CZDLValue& key) {
  if (depth_ == 0 || (firstTable_ && !(IsOwnedRow(*firstTable_) && !IsOwnedRow(table)))) return;
  firstTable_ = &table;
  firstKey_ = key;
}

void CZDLSession::BeginRead() {
  RememberForeignChanges();
  connection_->BeginRead();
  reading_ = true;
}

void CZDLSession::EndRead() {
  if (!reading_) return;
  reading_ = false;
  DropCachesFilledFromStaleSnapshot();
  connection_->EndRead();
}

void CZDLSession::LookForOthersChanges() {
  if (connection_->OthersChangedData()) database_.NoteCommit();
}

CZDLReadScope::CZDLReadScope(CZDLSession& session) : session_(session) {
  if (session_.InTransaction()) return;
  session_.BeginRead();
  active_ = true;
}

CZDLReadScope::~CZDLReadScope() {
  if (!active_) return;
  try {
    session_.EndRead();
  } catch (...) {
  }
}

CZDLTransaction::~CZDLTransaction() {
  if (!done_) {
    try {
      session_.Rollback();
    } catch (...) {
    }
  }
}

void CZDLTransaction::Commit() {
  done_ = true;
  session_.Commit();
}

}  // namespace zeb::zdl
