// Group commit of one database file's write-ahead log. Commits are numbered in the order they
// are written (they are serialised by the write turn). A committer waits until a sync of the
// log has covered its number: when no sync is under way it runs one itself, covering every
// commit written so far; otherwise it waits for that sync, and the commits that finished while
// it ran are covered together by the next one.
//
// A committer inside a DeferredDurability scope does not wait: the scope notes the number, and
// the log's syncing thread runs the syncs that cover such numbers while any is waiting (one a
// millisecond at most while other writers wait for their turn), then hands each its outcome.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "zdl/base/Durability.h"

namespace zeb::zdl {

class GroupCommit : public DurableLog {
 public:
  // sync is what the syncing thread runs: it makes everything written to the log so far durable
  // and throws when it cannot; it never runs twice at once. moreComing tells whether other
  // writers wait for their turn, whose commits the next sync might as well cover.
  explicit GroupCommit(std::function<void()> sync = {}, std::function<bool()> moreComing = {})
      : backgroundSync_(std::move(sync)), moreComing_(std::move(moreComing)) {}
  // Stops the syncing thread once every waiting done has run.
  ~GroupCommit() override;
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

  // Returns once commit number is durable, or at once when the thread's DeferredDurability scope
  // takes note of it. sync makes everything written to the log so far durable and throws when it
  // cannot (then the caller learns it, and another waiter tries).
  void WaitDurable(std::uint64_t number, const std::function<void()>& sync);

  // REQUIRES: the log was made with a sync.
  void WhenDurable(std::uint64_t number, std::function<void(bool durable)> done) override;

  // Ends the syncing thread once every waiting done has run. Called by the owner of what the
  // sync uses, before it goes.
  void Stop();

 private:
  using Done = std::pair<std::uint64_t, std::function<void(bool)>>;

  void Syncs();
  // REQUIRES: mutex_ held. Moves the dones whose numbers are at most upTo into ready.
  void TakeDones(std::uint64_t upTo, std::vector<Done>& ready);

  const std::function<void()> backgroundSync_;
  const std::function<bool()> moreComing_;
  std::atomic<std::uint64_t> reserved_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t written_ = 0;  // guarded by mutex_, as are the fields below
  std::uint64_t durable_ = 0;
  bool syncing_ = false;
  std::vector<Done> dones_;  // waiting for their numbers to be durable
  bool stopping_ = false;
  std::thread syncer_;  // started with the first done that waits
};

}  // namespace zeb::zdl
