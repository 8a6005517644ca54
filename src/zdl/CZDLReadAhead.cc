#include "zdl/CZDLReadAhead.h"

#include <algorithm>
#include <set>

#include "zdl/CFastAccess.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {

namespace {

// One value as part of a map key; NULL differs from empty text.
void AppendKey(std::string& key, const CZDLValue& value) {
  if (value.IsNull()) {
    key += '\x01';
  } else {
    key += '\x02';
    key += value.kind() == CZDLValue::Kind::kText ? value.TextRef() : value.AsText();
  }
  key += '\x1f';
}

std::string KeyOf(const CZDLValue& value) {
  std::string key;
  AppendKey(key, value);
  return key;
}

// The values of one statement as one map key.
std::string KeyOf(const std::vector<CZDLValue>& values) {
  std::string key;
  for (const CZDLValue& value : values) AppendKey(key, value);
  return key;
}

}  // namespace

CZDLReadAhead::CZDLReadAhead(CZDLSession& session) : session_(session), outer_(session.readAhead_) {
  session_.readAhead_ = this;
}

CZDLReadAhead::~CZDLReadAhead() { session_.readAhead_ = outer_; }

void CZDLReadAhead::Add(const std::string& sql, const std::vector<CZDLValue>& values) {
  if (Find(sql, values)) return;
  queued_.push_back({sql, values});
  pending_.push_back({sql, values, false, false});
}

void CZDLReadAhead::Add(const std::string& keyed, const std::vector<CZDLValue>& keys, const std::string& batch,
                        const std::vector<CZDLValue>& values) {
  const bool known = std::all_of(keys.begin(), keys.end(), [&](const CZDLValue& key) { return Find(keyed, {key}); });
  if (known) return;
  queued_.push_back({batch, values});
  pending_.push_back({keyed, keys, true, false});
}

void CZDLReadAhead::Add(const std::string& keyed, const std::string& batch, const std::vector<CZDLValue>& values) {
  queued_.push_back({batch, values});
  pending_.push_back({keyed, {}, true, true});
}

void CZDLReadAhead::Run() {
  if (queued_.empty()) return;
  // Not answered from an outer read-ahead: that one may not cover what the batches read.
  session_.readAhead_ = nullptr;
  std::vector<ResultSet> results;
  try {
    results = session_.QueryAll(queued_);
  } catch (...) {
    session_.readAhead_ = this;
    throw;
  }
  session_.readAhead_ = this;
  for (std::size_t i = 0; i < pending_.size(); ++i) {
    const Pending& pending = pending_[i];
    std::map<std::string, ResultSet>& answers = answers_[pending.keyed];
    if (!pending.batch) {
      answers[KeyOf(pending.keys)] = std::move(results[i]);
      continue;
    }
    ResultSet empty;
    empty.columns = results[i].columns.WithoutLast();
    noRows_.emplace(pending.keyed, empty);
    // Keys answered already (by another batch of the same statement) keep their answer.
    std::set<std::string> covered;
    for (const CZDLValue& key : pending.keys) {
      if (answers.emplace(KeyOf(key), empty).second) covered.insert(KeyOf(key));
    }
    for (auto& row : results[i].rows) {
      const std::string key = KeyOf(row.back());
      if (pending.coverReturned && answers.emplace(key, empty).second) covered.insert(key);
      if (!covered.count(key)) continue;
      row.pop_back();
      answers[key].rows.push_back(std::move(row));
    }
  }
  queued_.clear();
  pending_.clear();
}

void CZDLReadAhead::Cover(const std::string& keyed, const CZDLValue& key) {
  auto empty = noRows_.find(keyed);
  if (empty != noRows_.end()) answers_[keyed].emplace(KeyOf(key), empty->second);
}

void CZDLReadAhead::AddRecord(const std::string& table, const CZDLID& id) {
  if (id.isNull()) return;
  const TableDef* def = FindTable(table);
  if (!def) throw CZDLException(kZDLInvalidParameter, "Unknown table: " + table);
  Add(RecordByIdSql(*def), {CZDLValue(id)});
}

void CZDLReadAhead::Know(const CItem& record) {
  const TableDef& table = record.table();
  std::vector<std::string> names;
  std::vector<CZDLValue> row;
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    names.push_back(table.columns[i].name);
    row.push_back(record.Value(static_cast<int>(i)));
  }
  ResultSet result;
  result.columns = ResultColumns(std::move(names));
  result.rows.push_back(std::move(row));
  answers_[RecordByIdSql(table)][KeyOf(std::vector<CZDLValue>{CZDLValue(record.GetID())})] = std::move(result);
}

const ResultSet* CZDLReadAhead::Find(const std::string& sql, const std::vector<CZDLValue>& values) const {
  auto statement = answers_.find(sql);
  if (statement != answers_.end()) {
    auto found = statement->second.find(KeyOf(values));
    if (found != statement->second.end()) return &found->second;
  }
  return outer_ ? outer_->Find(sql, values) : nullptr;
}

}  // namespace zeb::zdl
