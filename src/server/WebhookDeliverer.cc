#include "server/WebhookDeliverer.h"

#include <algorithm>
#include <boost/asio/post.hpp>
#include <exception>

#include "zdl/AuditLog.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLSession.h"
#include "zdl/Drivers.h"

namespace zeb::server {

namespace net = boost::asio;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kBatch = 100;
// Key "ZEBH" (0x5A454248): held, for the whole session, by the one node that delivers.
constexpr char kHoldsLock[] =
    "SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND classid = 0 AND objid = 1514488392 "
    "AND objsubid = 1 AND pid = pg_backend_pid() AND granted";
constexpr char kTakeLock[] = "SELECT pg_try_advisory_lock(1514488392)";
constexpr char kReleaseLock[] = "SELECT pg_advisory_unlock(1514488392)";

std::string Label(std::int64_t id) { return "{subscription=\"" + std::to_string(id) + "\"}"; }

std::string Seconds(std::chrono::milliseconds span) {
  return span.count() % 1000 ? std::to_string(span.count()) + " ms"
                             : std::to_string(span.count() / 1000) + " s";
}

}  // namespace

WebhookDeliverer::WebhookDeliverer(zdl::CZDLDatabase& database, const CommittedEvents* committed,
                                   Options options, std::function<void(const std::string&)> warn)
    : database_(database),
      options_(std::move(options)),
      warn_(std::move(warn)),
      shared_(zdl::IsSharedLocation(database.location())),
      tls_(MakeWebhookTlsContext(options_.caFile)),
      committed_(committed),
      timer_(ioc_),
      again_(ioc_) {
  Schedule(std::chrono::milliseconds(0));
  thread_ = std::thread([this] {
    ioc_.run();
    // Stopping: what was delivered is stored; what is in flight goes again next time.
    try {
      for (auto& entry : targets_) Persist(*entry.second, true);
    } catch (const std::exception& error) {
      warn_(std::string("webhooks: positions not stored at the stop: ") + error.what());
    }
  });
}

WebhookDeliverer::~WebhookDeliverer() {
  ioc_.stop();
  thread_.join();
}

std::chrono::milliseconds WebhookDeliverer::Backoff(const Options& options, int failures) {
  std::chrono::milliseconds wait = options.backoffBase;
  for (int i = 1; i < failures && wait < options.backoffCap; ++i) wait *= 2;
  return std::min(wait, options.backoffCap);
}

void WebhookDeliverer::Wake() {
  // While every subscription has a post under way, each answer reads on by itself: no tick is
  // needed, which under a write load would be one per write. (Done sets listening_ before it
  // looks for events, and this looks at listening_ after the event was handed over: one of the
  // two sees the other.)
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (!listening_.load()) return;
  if (woken_.exchange(true)) return;
  net::post(ioc_, [this] { timer_.cancel(); });
}

void WebhookDeliverer::Publish(Target& target) {
  target.shownPosition = target.position;
  target.pendingSince = target.batch.empty() ? 0 : target.batch.front().timeMicros;
  target.shownFailing = target.row.failing;
}

void WebhookDeliverer::Schedule(std::chrono::milliseconds after) {
  timer_.expires_after(after);
  timer_.async_wait([this](const boost::system::error_code&) { Tick(); });
}

void WebhookDeliverer::Tick() {
  woken_ = false;
  try {
    zdl::CZDLSession& session = database_.Session();
    if (Clock::now() >= nextRefresh_) {
      Refresh(session);
      nextRefresh_ = Clock::now() + options_.refreshInterval;
    }
    // While every subscription has a post under way, each answer reads on by itself: a wake
    // need not look for the newest id again, which under a write load would be once per write.
    const bool idle = SomeIdle();
    if (holder_ && !targets_.empty() && (idle || Clock::now() >= nextNewest_)) {
      const std::int64_t newest = Newest(session, idle);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        newest_ = newest;
      }
      for (auto& entry : targets_) {
        Target& target = *entry.second;
        if (!target.inFlight && Clock::now() >= target.nextTry &&
            (target.position < newest || !target.batch.empty()))
          Next(entry.second);
        if (!target.inFlight) Persist(target, false);
      }
    }
    if (failing_) warn_("webhooks: the database can be read again");
    failing_ = false;
  } catch (const std::exception& error) {
    if (!failing_) warn_(std::string("webhooks: cannot read the database: ") + error.what());
    failing_ = true;
  }
  Listen();
  Schedule(options_.pollInterval);
}

bool WebhookDeliverer::SomeIdle() const {
  return std::any_of(targets_.begin(), targets_.end(),
                     [](const auto& entry) { return !entry.second->inFlight; });
}

void WebhookDeliverer::Listen() {
  listening_ = SomeIdle();
  std::atomic_thread_fence(std::memory_order_seq_cst);
}

std::shared_ptr<WebhookDeliverer::Target> WebhookDeliverer::MakeTarget(const zdl::WebhookSubscription& row) {
  auto target = std::make_shared<Target>();
  target->row = row;
  target->position = target->storedPosition = row.position;
  target->storedAt = Clock::now();
  Publish(*target);
  try {
    target->url = ParseWebhookUrl(row.url);
    target->channel = std::make_unique<WebhookChannel>(ioc_, *tls_, target->url);
    target->secret = zdl::OpenWebhookSecret(database_.secretKey(), row);
  } catch (const std::exception& error) {
    target->problem = error.what();
  }
  return target;
}

void WebhookDeliverer::Refresh(zdl::CZDLSession& session) {
  std::vector<zdl::WebhookSubscription> rows;
  {
    zdl::CZDLReadScope snapshot(session);
    rows = zdl::ReadWebhooks(session);
  }
  // A standby's node never delivers: it cannot store positions, and its locks are its own.
  bool holder = !rows.empty() && !database_.readOnly();
  if (shared_) {
    if (holder) {
      holder = HoldDeliveryLock(session);
    } else if (holder_) {
      session.Query(kReleaseLock);
    }
  }
  const bool tookOver = holder && !holder_;
  if (holder != holder_ && !rows.empty())
    warn_(holder ? "webhooks: this node delivers" : "webhooks: another node delivers now");
  std::map<std::int64_t, std::shared_ptr<Target>> targets;
  for (const zdl::WebhookSubscription& row : rows) {
    auto found = targets_.find(row.id);
    if (found == targets_.end() || tookOver || found->second->row.key != row.key) {
      targets[row.id] = MakeTarget(row);
    } else {
      found->second->row = row;
      targets[row.id] = found->second;
    }
  }
  for (auto& entry : targets_) {
    if (!targets.count(entry.first) || targets[entry.first] != entry.second) entry.second->removed = true;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  targets_.swap(targets);
  holder_ = holder;
}

bool WebhookDeliverer::HoldDeliveryLock(zdl::CZDLSession& session) {
  if (session.Query(kHoldsLock).rows[0][0].AsInt() > 0) return true;
  return session.Query(kTakeLock).rows[0][0].AsInt() != 0;
}

std::int64_t WebhookDeliverer::Newest(zdl::CZDLSession& session, bool idle) {
  const bool poll = committed_ ? Clock::now() >= nextNewest_ : idle || Clock::now() >= nextNewest_;
  if (poll) {
    nextNewest_ = Clock::now() + options_.pollInterval;
    tableNewest_ = zdl::NewestChangeEventId(session);
  }
  return std::max({tableNewest_, newest_, committed_ ? committed_->Newest() : 0});
}

void WebhookDeliverer::Fill(Target& target) {
  if (committed_) {
    const CommittedEvents::Lookup found = committed_->After(target.position, kBatch);
    for (const CommittedEvents::Event& event : found.events) target.batch.push_back(*event);
    if (found.holeMayFill) LookAgainSoon();
    // With nothing from memory, the table is read only when it may have more.
    if (!found.events.empty() || (!found.readTable && target.position >= tableNewest_)) return;
  }
  zdl::CZDLSession& session = database_.Session();
  zdl::CZDLReadScope snapshot(session);
  zdl::ReadChangeEvents(session, target.position, kBatch,
                        [&](const zdl::ChangeEvent& event) { target.batch.push_back(event); });
}

void WebhookDeliverer::LookAgainSoon() {
  if (againPending_) return;
  againPending_ = true;
  again_.expires_after(CommittedEvents::kHoleWait);
  again_.async_wait([this](const boost::system::error_code& error) {
    againPending_ = false;
    // The tick's timer ends early, as a wake ends it.
    if (!error) timer_.cancel();
  });
}

void WebhookDeliverer::Next(const std::shared_ptr<Target>& target) {
  if (target->batch.empty()) Fill(*target);
  // Events of other methods are passed over.
  while (!target->batch.empty() &&
         !zdl::WebhookMethodMatches(target->row.methods, target->batch.front().method)) {
    target->position = target->batch.front().id;
    target->batch.pop_front();
  }
  Publish(*target);
  if (target->batch.empty()) return;
  if (!target->problem.empty()) return Failed(*target, target->problem);
  const zdl::ChangeEvent& event = target->batch.front();
  std::string body = zdl::ChangeEventJson(event);
  const std::int64_t now = zdl::NowMicros() / 1'000'000;
  HttpHeaders headers{{"X-Zeb-Signature", WebhookSignature(target->secret, now, body)},
                      {"X-Zeb-Event-ID", std::to_string(event.id)}};
  if (target->failuresInARow > 0) ++target->retries;
  target->inFlight = true;
  Listen();
  target->channel->Post(
      std::move(body), headers, options_.timeout,
      [this, weak = std::weak_ptr<Target>(target), id = event.id](const std::string& problem) {
        if (const std::shared_ptr<Target> target = weak.lock()) Done(target, id, problem);
      });
}

void WebhookDeliverer::Done(const std::shared_ptr<Target>& target, std::int64_t id,
                            const std::string& problem) {
  target->inFlight = false;
  if (target->removed) return;
  Listen();
  try {
    if (!problem.empty()) return Failed(*target, problem);
    target->batch.pop_front();
    target->position = id;
    target->failuresInARow = 0;
    Publish(*target);
    if (target->row.failingSince != 0) {
      zdl::StoreWebhookState(database_.Session(), target->row.key, 0, false, "");
      target->row.failingSince = 0, target->row.failing = false, target->row.lastError.clear();
      warn_("webhook " + std::to_string(target->row.id) + ": delivers again");
    }
    Persist(*target, false);
    if (holder_) Next(target);
  } catch (const std::exception& error) {
    if (!failing_) warn_(std::string("webhooks: cannot use the database: ") + error.what());
    failing_ = true;
  }
}

void WebhookDeliverer::Failed(Target& target, const std::string& problem) {
  const std::int64_t now = zdl::NowMicros();
  ++target.failures;
  const std::chrono::milliseconds wait = Backoff(options_, ++target.failuresInARow);
  target.nextTry = Clock::now() + wait;
  const std::int64_t since = target.row.failingSince ? target.row.failingSince : now;
  const bool failing =
      now - since >= std::chrono::duration_cast<std::chrono::microseconds>(options_.failingAfter).count();
  const std::string subject = "webhook " + std::to_string(target.row.id) + " (" + target.row.url + ")";
  warn_(subject + ": event " + std::to_string(target.batch.front().id) + " not delivered: " + problem +
        "; next attempt in " + Seconds(wait));
  if (failing && !target.row.failing)
    warn_(subject + ": marked failing, nothing delivered for " + Seconds(options_.failingAfter));
  if (since != target.row.failingSince || failing != target.row.failing || problem != target.row.lastError) {
    zdl::StoreWebhookState(database_.Session(), target.row.key, since, failing, problem);
    target.row.failingSince = since, target.row.failing = failing, target.row.lastError = problem;
  }
  Publish(target);
}

void WebhookDeliverer::Persist(Target& target, bool now) {
  if (target.position <= target.storedPosition) return;
  // Not at every delivery, even when it caught up: under a write load a receiver that keeps up
  // would otherwise cost a commit per event. The tick stores a caught-up position soon enough.
  if (!now && Clock::now() - target.storedAt < kPersistEvery) return;
  zdl::StoreWebhookPosition(database_.Session(), target.row.key, target.position);
  target.storedPosition = target.position;
  target.storedAt = Clock::now();
}

std::string WebhookDeliverer::MetricsText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::int64_t now = zdl::NowMicros();
  std::string lagEvents, lagSeconds, failures, retries, failing;
  for (const auto& [id, target] : targets_) {
    const std::int64_t pending = target->pendingSince.load();
    const std::int64_t lag = std::max<std::int64_t>(0, newest_ - target->shownPosition.load());
    const double age = pending && lag ? std::max<std::int64_t>(0, now - pending) / 1e6 : 0.0;
    lagEvents += "zebd_webhook_lag_events" + Label(id) + " " + std::to_string(lag) + "\n";
    lagSeconds += "zebd_webhook_lag_seconds" + Label(id) + " " + std::to_string(age) + "\n";
    failures +=
        "zebd_webhook_failures_total" + Label(id) + " " + std::to_string(target->failures.load()) + "\n";
    retries += "zebd_webhook_retries_total" + Label(id) + " " + std::to_string(target->retries.load()) + "\n";
    failing += "zebd_webhook_failing" + Label(id) + " " + (target->shownFailing ? "1" : "0") + "\n";
  }
  return "# HELP zebd_webhook_delivering Whether this node delivers the webhooks.\n"
         "# TYPE zebd_webhook_delivering gauge\nzebd_webhook_delivering " +
         std::string(holder_ ? "1" : "0") + "\n" +
         "# HELP zebd_webhook_lag_events Change events the subscription has not had yet (on the delivering "
         "node).\n"
         "# TYPE zebd_webhook_lag_events gauge\n" +
         lagEvents +
         "# HELP zebd_webhook_lag_seconds Age of the oldest change event the subscription has not had yet.\n"
         "# TYPE zebd_webhook_lag_seconds gauge\n" +
         lagSeconds +
         "# HELP zebd_webhook_failures_total Deliveries that failed.\n"
         "# TYPE zebd_webhook_failures_total counter\n" +
         failures +
         "# HELP zebd_webhook_retries_total Deliveries that were attempts after a failure.\n"
         "# TYPE zebd_webhook_retries_total counter\n" +
         retries +
         "# HELP zebd_webhook_failing Whether the subscription is marked failing.\n"
         "# TYPE zebd_webhook_failing gauge\n" +
         failing;
}

}  // namespace zeb::server
