#include "zdl/ResponseCache.h"

#include <atomic>

namespace zeb::zdl {

namespace {
std::atomic<std::uint64_t> gHits{0};
std::atomic<std::uint64_t> gMisses{0};
}  // namespace

std::uint64_t ResponseCache::Hits() { return gHits.load(std::memory_order_relaxed); }
std::uint64_t ResponseCache::Misses() { return gMisses.load(std::memory_order_relaxed); }

std::uint64_t ResponseCache::Generation() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return generation_;
}

bool ResponseCache::Find(const std::string& key, const std::string& token, std::string* answer,
                         Clock::time_point now) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = entries_.find(key);
  if (found == entries_.end() || now - found->second.stored >= maxAge_) {
    gMisses.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  gHits.fetch_add(1, std::memory_order_relaxed);
  const std::vector<std::string>& pieces = found->second.pieces;
  answer->assign(pieces.front());
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    *answer += token;
    *answer += pieces[i];
  }
  return true;
}

void ResponseCache::Store(std::uint64_t generation, const std::string& key, const std::string& answer,
                          const std::string& token, Clock::time_point now) {
  if (!keeps() || answer.size() > kMaxAnswer) return;
  Entry entry{{}, now, key.size() + answer.size()};
  std::size_t start = 0;
  for (std::size_t at; !token.empty() && (at = answer.find(token, start)) != std::string::npos;
       start = at + token.size()) {
    entry.pieces.push_back(answer.substr(start, at - start));
  }
  entry.pieces.push_back(answer.substr(start));

  std::lock_guard<std::mutex> lock(mutex_);
  if (generation != generation_) return;
  if (bytes_ + entry.size > kMaxBytes) {
    entries_.clear();
    bytes_ = 0;
  }
  auto placed = entries_.try_emplace(key);
  if (!placed.second) bytes_ -= placed.first->second.size;
  bytes_ += entry.size;
  placed.first->second = std::move(entry);
}

void ResponseCache::Invalidate() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++generation_;
  entries_.clear();
  bytes_ = 0;
}

}  // namespace zeb::zdl
