// The live side of the change events: one thread that follows the change events while at least
// one client listens and hands each client the events after its position, oldest first. Woken
// by a commit of this node, it takes the new events from memory (CommittedEvents) when they
// follow on from the newest it has; it reads the ChangeEvent table every pollInterval (events of
// other nodes) and when memory cannot give what follows. Clients that are behind are served from
// the database a page at a time, those that keep up from a ring of the latest events shared by
// all, so a new event is framed once however many clients there are. A client whose queue
// passes maxQueuedBytes is cut; writers never wait for clients.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/CommittedEvents.h"

namespace zeb::zdl {
class CZDLDatabase;
class CZDLSession;
}  // namespace zeb::zdl

namespace zeb::server {

// A client of the stream (an SSE connection of the admin listener). Called on the stream's
// thread; implementations hand the work to their own. Thread-safe.
class EventSink {
 public:
  virtual ~EventSink() = default;
  // The client is taken on: events follow.
  virtual void Accept() = 0;
  // The client asked for events after an id older than the oldest kept (oldestKept).
  virtual void Refuse(std::int64_t oldestKept) = 0;
  // Queues bytes for the client.
  virtual void Send(std::shared_ptr<const std::string> bytes) = 0;
  // Bytes queued and not yet written.
  virtual std::size_t Queued() const = 0;
  // Closes the connection; the client is dropped.
  virtual void Cut() = 0;
  // The connection has ended.
  virtual bool Gone() const = 0;
};

class EventStream {
 public:
  struct Options {
    std::chrono::milliseconds pollInterval{200};
    std::size_t maxQueuedBytes = 1 << 20;
    std::chrono::seconds keepAlive{15};  // a comment line after this long without a write
    std::size_t ringEvents = 4096;
  };

  // database and committed (null: the table only) must outlive the stream; warn receives one
  // line per failed reading.
  EventStream(zdl::CZDLDatabase& database, const CommittedEvents* committed, Options options,
              std::function<void(const std::string&)> warn);
  ~EventStream();  // stops the thread; clients are cut
  EventStream(const EventStream&) = delete;
  EventStream& operator=(const EventStream&) = delete;

  // Takes a client: with since, it gets every event after that id (or is refused when those
  // are pruned); without, the events from now on.
  void Add(std::shared_ptr<EventSink> sink, std::optional<std::int64_t> since);
  // A change was committed on this node: look at once.
  void Wake();
  std::size_t Clients() const { return clientCount_.load(); }

  // The SSE frame of one event.
  static std::string Frame(std::int64_t id, const std::string& json);

 private:
  struct Client {
    std::shared_ptr<EventSink> sink;
    std::int64_t position;  // the last event handed to it
    std::chrono::steady_clock::time_point lastSent;
  };
  struct Framed {
    std::int64_t id;
    std::shared_ptr<const std::string> frame;
  };
  using Newcomer = std::pair<std::shared_ptr<EventSink>, std::optional<std::int64_t>>;

  class Snapshot;

  void Loop();
  void Cycle(std::vector<Newcomer>& newcomers);
  void ReadNew(Snapshot& snapshot);
  // Appends to the ring the events after head_ that memory holds; true when the table is to be
  // read for what follows.
  bool TakeCommitted();
  void ReadTable(zdl::CZDLSession& session);
  void Push(const zdl::ChangeEvent& event);
  void Admit(zdl::CZDLSession& session, Newcomer& newcomer);
  // Hands the client what it has not had; false when it is to be dropped.
  bool Feed(Snapshot& snapshot, Client& client);

  zdl::CZDLDatabase& database_;
  const CommittedEvents* const committed_;
  const Options options_;
  const std::function<void(const std::string&)> warn_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Newcomer> newcomers_;  // guarded by mutex_
  bool woken_ = false;               // guarded by mutex_
  bool stop_ = false;                // guarded by mutex_
  // The stream thread's own.
  std::vector<Client> clients_;
  std::optional<std::int64_t> head_;  // the newest event read
  std::deque<Framed> ring_;
  std::chrono::steady_clock::time_point nextPoll_{};  // the table is read by then at the latest
  bool holeMayFill_ = false;  // memory may yet get the event after head_: look again soon
  bool failing_ = false;
  std::atomic<std::size_t> clientCount_{0};
  std::thread thread_;
};

}  // namespace zeb::server
