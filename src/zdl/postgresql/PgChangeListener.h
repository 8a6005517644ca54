// Listens, on a connection of its own and in a background thread, for the changes other
// processes announce on the change channel, so that this process can drop cached database
// content they made stale. While the connection is down it retries; every (re)connection is
// reported as a gap, since announcements may have been missed meanwhile.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace zeb::zdl {

class PgChangeListener {
 public:
  // Tables another process wrote (lower-cased), as it announced them.
  using ChangeHandler = std::function<void(const std::vector<std::string>& tables)>;
  // Called when announcements may have been missed.
  using GapHandler = std::function<void()>;

  // Starts listening to location. Announcements that carry token (this process's own) are
  // ignored. The handlers run on the listener's thread.
  PgChangeListener(std::string location, std::string token, ChangeHandler onChange, GapHandler onGap);
  // Stops the thread; returns within a moment even while a connection attempt is under way.
  ~PgChangeListener();
  PgChangeListener(const PgChangeListener&) = delete;
  PgChangeListener& operator=(const PgChangeListener&) = delete;

  // Whether announcements are heard now: the connection is up and listening. While it is not,
  // changes of other processes may go unannounced.
  bool listening() const { return listening_.load(std::memory_order_acquire); }

  // Splits an announcement into its token and tables; false when it is not one.
  static bool ParsePayload(const std::string& payload, std::string* token, std::vector<std::string>* tables);

 private:
  void Run();
  // One connection's life: connects, listens and dispatches until it breaks or Stop. Returns
  // the pause before the next attempt: longer when the server refused to listen (a hot standby
  // does until it is promoted; its node keeps fresh by the standby watch meanwhile).
  int Listen();
  // Waits for fd to become readable (or writable) or for the stop signal; false on stop.
  bool Wait(int fd, bool forWrite, int timeoutMs);

  const std::string location_;
  const std::string token_;
  ChangeHandler onChange_;
  GapHandler onGap_;
  int stopPipe_[2] = {-1, -1};
  std::atomic<bool> listening_{false};
  std::thread thread_;
};

}  // namespace zeb::zdl
