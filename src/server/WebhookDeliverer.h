// Delivers the change events to the webhook subscriptions: on a thread of its own, each
// subscription's events are POSTed one at a time, in order, signed with its secret; a failure
// is retried after a back-off that doubles up to a cap; the delivered position is stored in the
// database (at most once every kPersistEvery while delivering, and at the end), so that a restart
// sends again at most what was in flight: delivery is at least once. Subscriptions are read
// again every refreshInterval. The events this node commits come from memory (CommittedEvents)
// when they follow on from a subscription's position; the ChangeEvent table is read every
// pollInterval for the newest id (events of other nodes), and for the events memory cannot give.
// A slow or failing receiver holds up only its own subscription.
//
// On a shared database exactly one node delivers: the one holding a session-level advisory
// lock; the others try to take it at every refresh, so one of them takes over within a refresh
// when the holder ends (its connection closes and the lock goes with it).
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "server/CommittedEvents.h"
#include "server/WebhookClient.h"
#include "zdl/ChangeEvents.h"
#include "zdl/Webhooks.h"

namespace zeb::zdl {
class CZDLDatabase;
class CZDLSession;
}  // namespace zeb::zdl

namespace zeb::server {

class WebhookDeliverer {
 public:
  struct Options {
    std::chrono::milliseconds pollInterval{200};
    std::chrono::milliseconds refreshInterval{2000};
    std::chrono::milliseconds timeout{10'000};  // one POST, from resolving to the answer
    std::chrono::milliseconds backoffBase{1000};
    std::chrono::milliseconds backoffCap{300'000};
    std::chrono::milliseconds failingAfter{3'600'000};  // then the subscription is marked failing
    std::string caFile;                                 // trust these instead of the system's store
  };
  static constexpr std::chrono::milliseconds kPersistEvery{250};

  // database and committed (null: the table only) must outlive the deliverer; warn receives
  // the log lines. Throws std::runtime_error when options.caFile cannot be read.
  WebhookDeliverer(zdl::CZDLDatabase& database, const CommittedEvents* committed, Options options,
                   std::function<void(const std::string&)> warn);
  ~WebhookDeliverer();  // stores the positions reached and stops
  WebhookDeliverer(const WebhookDeliverer&) = delete;
  WebhookDeliverer& operator=(const WebhookDeliverer&) = delete;

  // A change was committed on this node: look for it at once.
  void Wake();
  // Per subscription: lag in events and seconds, failures, retries, the failing mark; and
  // whether this node delivers. The Prometheus text format.
  std::string MetricsText() const;

  // The back-off before the attempt after `failures` failures in a row.
  static std::chrono::milliseconds Backoff(const Options& options, int failures);

 private:
  struct Target {
    zdl::WebhookSubscription row;  // as last read
    WebhookUrl url;
    std::unique_ptr<WebhookChannel> channel;  // when the URL could be used
    std::string secret;
    std::string problem;  // why it cannot be sent at all ("" when it can)
    std::int64_t position = 0;
    std::int64_t storedPosition = 0;
    std::chrono::steady_clock::time_point storedAt;
    std::deque<zdl::ChangeEvent> batch;  // read, not yet delivered
    bool inFlight = false;
    bool removed = false;
    int failuresInARow = 0;
    std::chrono::steady_clock::time_point nextTry;
    // What MetricsText shows, written by the delivering thread.
    std::atomic<std::int64_t> shownPosition{0};
    std::atomic<std::int64_t> pendingSince{0};  // time of the oldest event read and not delivered; 0: none
    std::atomic<std::uint64_t> failures{0}, retries{0};
    std::atomic<bool> shownFailing{false};
  };

  void Schedule(std::chrono::milliseconds after);
  void Tick();
  void Refresh(zdl::CZDLSession& session);
  bool HoldDeliveryLock(zdl::CZDLSession& session);
  void Next(const std::shared_ptr<Target>& target);
  // Reads into the empty batch the events after the target's position: from memory, else from
  // the table when it may hold some.
  void Fill(Target& target);
  // The newest event id: from memory, and from the table when its poll is due (or always
  // without memory).
  std::int64_t Newest(zdl::CZDLSession& session, bool idle);
  // Whether some subscription has no post under way.
  bool SomeIdle() const;
  // Whether wakes are wanted: SomeIdle.
  void Listen();
  // Memory may soon get the event a subscription waits for: a tick within the hole's wait.
  void LookAgainSoon();
  void Done(const std::shared_ptr<Target>& target, std::int64_t id, const std::string& problem);
  void Failed(Target& target, const std::string& problem);
  void Persist(Target& target, bool now);
  static void Publish(Target& target);
  std::shared_ptr<Target> MakeTarget(const zdl::WebhookSubscription& row);

  zdl::CZDLDatabase& database_;
  const Options options_;
  const std::function<void(const std::string&)> warn_;
  const bool shared_;
  std::shared_ptr<boost::asio::ssl::context> tls_;
  boost::asio::io_context ioc_;
  const CommittedEvents* const committed_;
  boost::asio::steady_timer timer_;
  boost::asio::steady_timer again_;  // for LookAgainSoon
  bool againPending_ = false;
  std::chrono::steady_clock::time_point nextRefresh_{};
  std::chrono::steady_clock::time_point nextNewest_{};  // the newest id is read again by then at the latest
  bool holder_ = false;
  bool failing_ = false;  // the database cannot be read (said once)
  std::atomic<bool> woken_{false};
  std::atomic<bool> listening_{true};  // see Listen
  mutable std::mutex mutex_;  // targets_, newest_ and holder_ as MetricsText reads them
  std::map<std::int64_t, std::shared_ptr<Target>> targets_;
  std::int64_t newest_ = 0;
  std::int64_t tableNewest_ = 0;  // the newest id the table had at the last poll
  std::thread thread_;
};

}  // namespace zeb::server
