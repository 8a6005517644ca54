#include "zdl/CZDLSession.h"

#include <strings.h>

#include <algorithm>

#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLException.h"
#include "zdl/CZDLReadAhead.h"

namespace zeb::zdl {

namespace {
constexpr std::size_t kStatementCacheLimit = 1000;
}

int ResultSet::Column(const std::string& name) const {
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    if (strcasecmp(columns[i].c_str(), name.c_str()) == 0) return i;
  }
  return -1;
}

CZDLSession::CZDLSession(CZDLDatabase& database, std::unique_ptr<DbConnection> connection)
    : database_(database), connection_(std::move(connection)) {}

CZDLSession::~CZDLSession() = default;

const Dialect& CZDLSession::dialect() const { return database_.dialect(); }

DbStatement& CZDLSession::Prepared(const std::string& sql) {
  auto found = statements_.find(sql);
  if (found != statements_.end()) return *found->second;
  if (statements_.size() >= kStatementCacheLimit) statements_.clear();
  auto statement = connection_->Prepare(sql);
  DbStatement& result = *statement;
  statements_.emplace(sql, std::move(statement));
  return result;
}

ResultSet CZDLSession::Query(const std::string& sql, const std::vector<CZDLValue>& values) {
  if (readAhead_) {
    if (const ResultSet* known = readAhead_->Find(sql, values)) return *known;
  }
  DbStatement& statement = Prepared(sql);
  statement.Bind(values);
  ++statementsRun_;
  return ReadAll(statement);
}

std::vector<ResultSet> CZDLSession::QueryAll(const std::vector<Statement>& statements) {
  // The cache is not cleared half-way, which would free statements already taken from it.
  if (statements_.size() + statements.size() >= kStatementCacheLimit) statements_.clear();
  std::vector<DbStatement*> prepared;
  std::vector<std::unique_ptr<DbStatement>> repeated;  // a text that comes twice needs two statements
  prepared.reserve(statements.size());
  for (const Statement& statement : statements) {
    DbStatement* cached = &Prepared(statement.sql);
    if (std::find(prepared.begin(), prepared.end(), cached) != prepared.end()) {
      repeated.push_back(connection_->Prepare(statement.sql));
      cached = repeated.back().get();
    }
    prepared.push_back(cached);
    cached->Bind(statement.values);
  }
  connection_->Send(prepared);
  statementsRun_ += statements.size();
  std::vector<ResultSet> results;
  results.reserve(statements.size());
  for (DbStatement* statement : prepared) results.push_back(ReadAll(*statement));
  return results;
}

ResultSet CZDLSession::ReadAll(DbStatement& statement) {
  ResultSet result;
  const int count = statement.ColumnCount();
  result.columns.reserve(count);
  for (int i = 0; i < count; ++i) result.columns.push_back(statement.ColumnName(i));
  while (statement.Step()) {
    std::vector<CZDLValue> row;
    row.reserve(count);
    for (int i = 0; i < count; ++i) row.push_back(statement.Column(i));
    result.rows.push_back(std::move(row));
  }
  return result;
}

long long CZDLSession::Execute(const std::string& sql, const std::vector<CZDLValue>& values) {
  DbStatement& statement = Prepared(sql);
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
    connection_->Commit();
  } catch (...) {
    try {
      connection_->Rollback();
    } catch (...) {
    }
    throw;
  }
}

void CZDLSession::Rollback() {
  if (depth_ == 0) return;
  failed_ = true;
  if (--depth_ > 0) return;
  DropCachesFilledFromStaleSnapshot();
  connection_->Rollback();
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
