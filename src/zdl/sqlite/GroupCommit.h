// Group commit of one database file's write-ahead log. Commits are numbered in the order they
// are written (they are serialised by the write turn). A committer waits until a sync of the
// log has covered its number: when no sync is under way it runs one itself, covering every
// commit written so far; otherwise it waits for that sync, and the commits that finished while
// it ran are covered together by the next one.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace zeb::zdl {

class GroupCommit {
 public:
  GroupCommit() = default;
  GroupCommit(const GroupCommit&) = delete;
  GroupCommit& operator=(const GroupCommit&) = delete;

  // REQUIRES: the write turn. The number of the commit about to be written. It is taken before
  // the commit becomes visible, so that a reader that might see the commit also sees its number.
  std::uint64_t Reserve() { return reserved_.fetch_add(1, std::memory_order_seq_cst) + 1; }
  // REQUIRES: the write turn. Commit number is written (or failed: then there is nothing of it
  // to sync, and waiting for it must not last).
  void Written(std::uint64_t number);
  // The number of the latest commit begun; a snapshot taken now sees no later one.
  std::uint64_t Latest() const { return reserved_.load(std::memory_order_seq_cst); }

  // Returns once commit number is durable. sync makes everything written to the log so far
  // durable and throws when it cannot (then the caller learns it, and another waiter tries).
  void WaitDurable(std::uint64_t number, const std::function<void()>& sync);

 private:
  std::atomic<std::uint64_t> reserved_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t written_ = 0;  // guarded by mutex_, as are the fields below
  std::uint64_t durable_ = 0;
  bool syncing_ = false;
};

}  // namespace zeb::zdl
