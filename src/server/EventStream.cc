#include "server/EventStream.h"

#include <algorithm>
#include <exception>

#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLSession.h"
#include "zdl/ChangeEvents.h"

namespace zeb::server {

namespace {
constexpr std::size_t kPage = 200;
const auto kKeepAliveFrame = std::make_shared<const std::string>(": keep-alive\n\n");
}  // namespace

// The database reads of one cycle share one snapshot, begun at the first of them: a cycle
// served from memory reads nothing.
class EventStream::Snapshot {
 public:
  explicit Snapshot(zdl::CZDLDatabase& database) : database_(database) {}
  zdl::CZDLSession& operator()() {
    if (!session_) {
      session_ = &database_.Session();
      scope_.emplace(*session_);
    }
    return *session_;
  }

 private:
  zdl::CZDLDatabase& database_;
  zdl::CZDLSession* session_ = nullptr;
  std::optional<zdl::CZDLReadScope> scope_;
};

EventStream::EventStream(zdl::CZDLDatabase& database, const CommittedEvents* committed, Options options,
                         std::function<void(const std::string&)> warn)
    : database_(database),
      committed_(committed),
      options_(options),
      warn_(std::move(warn)),
      thread_([this] { Loop(); }) {}

EventStream::~EventStream() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
  for (Client& client : clients_) client.sink->Cut();
  for (Newcomer& newcomer : newcomers_) newcomer.first->Cut();
}

std::string EventStream::Frame(std::int64_t id, const std::string& json) {
  return "id: " + std::to_string(id) + "\ndata: " + json + "\n\n";
}

void EventStream::Add(std::shared_ptr<EventSink> sink, std::optional<std::int64_t> since) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    newcomers_.emplace_back(std::move(sink), since);
  }
  wake_.notify_all();
}

void EventStream::Wake() {
  if (clientCount_.load() == 0) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

void EventStream::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    if (clients_.empty() && newcomers_.empty()) {
      // Nobody listens: nothing is read, and the ring would have a hole when someone comes.
      head_.reset();
      ring_.clear();
      wake_.wait(lock, [this] { return stop_ || !newcomers_.empty(); });
    } else {
      const std::chrono::milliseconds wait =
          holeMayFill_ ? std::min(options_.pollInterval, CommittedEvents::kHoleWait) : options_.pollInterval;
      wake_.wait_for(lock, wait, [this] { return stop_ || woken_ || !newcomers_.empty(); });
    }
    if (stop_) return;
    woken_ = false;
    std::vector<Newcomer> newcomers;
    newcomers.swap(newcomers_);
    lock.unlock();
    Cycle(newcomers);
    lock.lock();
  }
}

void EventStream::Cycle(std::vector<Newcomer>& newcomers) {
  try {
    Snapshot snapshot(database_);
    ReadNew(snapshot);
    for (Newcomer& newcomer : newcomers) Admit(snapshot(), newcomer);
    newcomers.clear();
    clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                  [&](Client& client) { return !Feed(snapshot, client); }),
                   clients_.end());
    if (failing_) warn_("event stream: reading the change events works again");
    failing_ = false;
  } catch (const std::exception& error) {
    if (!failing_) warn_(std::string("event stream: cannot read the change events: ") + error.what());
    failing_ = true;
    // Newcomers wait for the next round.
    std::lock_guard<std::mutex> lock(mutex_);
    for (Newcomer& newcomer : newcomers) newcomers_.push_back(std::move(newcomer));
  }
  clientCount_ = clients_.size();
}

void EventStream::ReadNew(Snapshot& snapshot) {
  const auto now = std::chrono::steady_clock::now();
  if (!head_) {
    head_ = zdl::NewestChangeEventId(snapshot());
    nextPoll_ = now + options_.pollInterval;
  }
  bool table = !committed_ || now >= nextPoll_;
  if (committed_ && TakeCommitted()) table = true;
  if (table) {
    ReadTable(snapshot());
    nextPoll_ = now + options_.pollInterval;
    if (committed_) TakeCommitted();
  }
}

bool EventStream::TakeCommitted() {
  for (;;) {
    const CommittedEvents::Lookup found = committed_->After(*head_, kPage);
    holeMayFill_ = found.holeMayFill;
    if (found.events.empty()) return found.readTable;
    for (const CommittedEvents::Event& event : found.events) Push(*event);
  }
}

void EventStream::ReadTable(zdl::CZDLSession& session) {
  for (;;) {
    std::size_t read = 0;
    zdl::ReadChangeEvents(session, *head_, kPage, [&](const zdl::ChangeEvent& event) {
      Push(event);
      ++read;
    });
    if (read < kPage) return;
  }
}

void EventStream::Push(const zdl::ChangeEvent& event) {
  ring_.push_back({event.id, std::make_shared<const std::string>(Frame(event.id, zdl::ChangeEventJson(event)))});
  head_ = event.id;
  if (ring_.size() > options_.ringEvents) ring_.pop_front();
}

void EventStream::Admit(zdl::CZDLSession& session, Newcomer& newcomer) {
  auto& [sink, since] = newcomer;
  if (since) {
    const std::int64_t oldest = zdl::OldestChangeEventId(session);
    if (oldest > 0 && *since + 1 < oldest) return sink->Refuse(oldest);
  }
  sink->Accept();
  clients_.push_back({std::move(sink), since ? *since : *head_, std::chrono::steady_clock::now()});
}

bool EventStream::Feed(Snapshot& snapshot, Client& client) {
  if (client.sink->Gone()) return false;
  const auto now = std::chrono::steady_clock::now();
  while (client.position < *head_) {
    if (!ring_.empty() && client.position + 1 >= ring_.front().id) {
      // Keeping up: everything new from the ring, cut when it no longer reads.
      auto from = std::lower_bound(ring_.begin(), ring_.end(), client.position + 1,
                                   [](const Framed& framed, std::int64_t id) { return framed.id < id; });
      for (; from != ring_.end(); ++from) client.sink->Send(from->frame);
      client.position = *head_;
      client.lastSent = now;
      if (client.sink->Queued() <= options_.maxQueuedBytes) return true;
      client.sink->Cut();
      return false;
    }
    // Behind: a page from the database once it has written most of the last one.
    if (client.sink->Queued() > options_.maxQueuedBytes / 2) return true;
    const std::int64_t from = client.position;
    bool gap = false;
    zdl::ReadChangeEvents(snapshot(), from, kPage, [&](const zdl::ChangeEvent& event) {
      gap = gap || event.id != client.position + 1;
      if (gap) return;
      client.sink->Send(std::make_shared<const std::string>(Frame(event.id, zdl::ChangeEventJson(event))));
      client.position = event.id;
    });
    client.lastSent = now;
    if (gap || client.position == from) {
      // Events it had not had were pruned meanwhile: cut, so that its return learns so (410).
      client.sink->Cut();
      return false;
    }
  }
  if (now - client.lastSent >= options_.keepAlive) {
    client.sink->Send(kKeepAliveFrame);
    client.lastSent = now;
  }
  return true;
}

}  // namespace zeb::server
