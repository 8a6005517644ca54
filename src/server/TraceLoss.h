// Tells the operator when trace records start to be lost (an unusable trace directory, a full
// disk) and when they reach their files again: once each time, not once per request.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace zeb::server {

class TraceLoss {
 public:
  using Warn = std::function<void(const std::string& message)>;

  TraceLoss(std::string directory, Warn warn) : directory_(std::move(directory)), warn_(std::move(warn)) {}

  // The start found the directory unusable and said so: the first lost record says nothing more.
  void AlreadyLosing() { losing_ = true; }

  // After each trace record: lost is true when it did not reach its file whole, error the errno
  // that stopped it. Thread-safe.
  void OnRecord(bool lost, int error);

 private:
  const std::string directory_;
  const Warn warn_;
  std::atomic<bool> losing_{false};
  std::atomic<std::uint64_t> lost_{0};  // records lost since losing_ became true
};

}  // namespace zeb::server
