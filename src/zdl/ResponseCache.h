// Answers of reads kept as text, keyed by the request, for a database shared with other nodes:
// there a read costs several round trips to the server, while the same answer is asked for again
// and again. Every change drops every answer: a commit of this process before it is
// acknowledged, a change of another node when its announcement arrives (see PgChangeListener).
// An announcement that never arrives is bounded by the answers' age: none is served once it is
// older than the age set (none is kept until an age is set).
//
// An answer may carry a per-request token (the request's version stamp): it is stored with the
// token's places marked, and each hit writes its own token there.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace zeb::zdl {

class ResponseCache {
 public:
  // Answers longer than this are not kept; past kMaxBytes in all, the cache starts afresh.
  static constexpr std::size_t kMaxAnswer = 256 * 1024;
  static constexpr std::size_t kMaxBytes = 16 * 1024 * 1024;

  using Clock = std::chrono::steady_clock;

  // REQUIRES: no other thread uses the cache yet. 0 keeps nothing.
  void SetMaxAge(std::chrono::milliseconds age) { maxAge_ = age; }
  bool keeps() const { return maxAge_.count() > 0; }

  // The generation to hand to Store: read it before the read's snapshot begins, so that a
  // change the snapshot may miss moves it.
  std::uint64_t Generation() const;
  // The answer kept for key, with token in the places of the token it was stored with; false
  // when none is kept or it is too old.
  bool Find(const std::string& key, const std::string& token, std::string* answer,
            Clock::time_point now = Clock::now()) const;
  // Keeps answer, built with token, for key, unless the generation moved since generation.
  void Store(std::uint64_t generation, const std::string& key, const std::string& answer,
             const std::string& token, Clock::time_point now = Clock::now());
  // Drops every answer and moves the generation.
  void Invalidate();

  // The look-ups of every cache of the process so far that found an answer, and that did not.
  static std::uint64_t Hits();
  static std::uint64_t Misses();

 private:
  struct Entry {
    std::vector<std::string> pieces;  // the answer cut at the token's places
    Clock::time_point stored;
    std::size_t size;  // of the key and the answer, in bytes
  };

  std::chrono::milliseconds maxAge_{0};
  mutable std::mutex mutex_;
  std::uint64_t generation_ = 0;  // guarded by mutex_, as are the fields below
  std::unordered_map<std::string, Entry> entries_;
  std::size_t bytes_ = 0;
};

}  // namespace zeb::zdl
