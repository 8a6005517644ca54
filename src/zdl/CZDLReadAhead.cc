#include "zdl/CZDLReadAhead.h"

namespace zeb::zdl {

CZDLReadAhead::CZDLReadAhead(CZDLSession& session) : session_(session), outer_(session.readAhead_) {
  session_.readAhead_ = this;
}

CZDLReadAhead::~CZDLReadAhead() { session_.readAhead_ = outer_; }

void CZDLReadAhead::Add(const std::string& keyed, const std::vector<CZDLValue>& keys, const std::string& batch,
                        const std::vector<CZDLValue>& values) {
  queued_.push_back({batch, values});
  pending_.push_back({keyed, keys, true, false});
}

void CZDLReadAhead::Add(const std::string& keyed, const std::string& batch, const std::vector<CZDLValue>& values) {
  queued_.push_back({batch, values});
  pending_.push_back({keyed, {}, true, true});
}

void CZDLReadAhead::Add(const std::string& keyed, const CZDLValue& key) {
  queued_.push_back({keyed, {key}});
  pending_.push_back({keyed, {key}, false, false});
}

void CZDLReadAhead::Run() {
  if (queued_.empty()) return;
  // Not answered from an outer read-ahead: that one may not cover the keys of the batches.
  CZDLReadAhead* self = session_.readAhead_;
  session_.readAhead_ = nullptr;
  std::vector<ResultSet> results;
  try {
    results = session_.QueryAll(queued_);
  } catch (...) {
    session_.readAhead_ = self;
    throw;
  }
  session_.readAhead_ = self;
  for (std::size_t i = 0; i < pending_.size(); ++i) {
    ResultSet& result = results[i];
    std::map<std::string, ResultSet>& byKey = answers_[pending_[i].keyed];
    ResultSet empty;
    empty.columns = result.columns;
    if (pending_[i].keyColumn && !empty.columns.empty()) empty.columns.pop_back();
    for (const CZDLValue& key : pending_[i].keys) byKey.emplace(key.AsText(), empty);
    if (!pending_[i].keyColumn) {
      byKey[pending_[i].keys.at(0).AsText()] = std::move(result);
      continue;
    }
    for (auto& row : result.rows) {
      const std::string key = row.back().AsText();
      auto found = pending_[i].coverReturned ? byKey.emplace(key, empty).first : byKey.find(key);
      if (found == byKey.end()) continue;
      row.pop_back();
      found->second.rows.push_back(std::move(row));
    }
  }
  queued_.clear();
  pending_.clear();
}

const ResultSet* CZDLReadAhead::Find(const std::string& keyed, const CZDLValue& key) const {
  auto statement = answers_.find(keyed);
  if (statement != answers_.end()) {
    auto found = statement->second.find(key.AsText());
    if (found != statement->second.end()) return &found->second;
  }
  return outer_ ? outer_->Find(keyed, key) : nullptr;
}

}  // namespace zeb::zdl
