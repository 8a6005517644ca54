// The admin listener: a port of its own, apart from the SOAP port, that answers monitoring
// systems and load balancers. GET /metrics (the Prometheus text format), GET /healthz (200
// while the process serves), GET /readyz (200 when the database, and the directory when one is
// set, answer within a second; 503 with a one-line reason otherwise), GET /events (the change
// events as server-sent events, EventStream.h). Anything else gets 404; it never serves SOAP.
// It speaks TLS and asks for credentials exactly when the SOAP listener does.
//
// It runs one thread of its own, so it answers while the SOAP workers are busy; each connection
// carries one request and is closed after the answer (an event stream's when either side ends
// it).
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "server/Authenticator.h"
#include "server/EventStream.h"
#include "server/Metrics.h"
#include "server/ReadinessProbe.h"

namespace zeb::server {

class AdminListener {
 public:
  // Where the listener finds what it serves. Everything must outlive the listener.
  struct Services {
    Metrics* metrics = nullptr;
    ReadinessProbe* readiness = nullptr;
    // The TLS context for a new connection (the current one after a reload); empty for plain
    // HTTP.
    std::function<std::shared_ptr<boost::asio::ssl::context>()> tls;
    Authenticator* authenticator = nullptr;  // nullptr: no credentials asked
    EventStream* events = nullptr;           // nullptr: no /events
    // More of /metrics, appended to the metrics' own text.
    std::function<std::string()> moreMetrics;
    // What /readyz adds to "ready" ("ready: NOTE"); "" or empty: nothing.
    std::function<std::string()> readyNote;
  };

  static constexpr std::chrono::seconds kReadinessTimeout{1};
  static constexpr std::chrono::seconds kRequestTimeout{5};

  explicit AdminListener(Services services);
  ~AdminListener();  // stops and joins the thread
  AdminListener(const AdminListener&) = delete;
  AdminListener& operator=(const AdminListener&) = delete;

  // Binds, listens and starts serving. Returns "HOST:PORT" with the real port. Throws
  // boost::system::system_error when it cannot bind.
  std::string Start(const boost::asio::ip::tcp::endpoint& endpoint);
  // Stops accepting and ends the thread. Idempotent.
  void Stop();

  // The status and body of the answer to a request with this method and target (for tests).
  struct Answer {
    unsigned status;
    std::string contentType;
    std::string body;
  };
  Answer Respond(const std::string& method, const std::string& target);

  // Where a GET /events starts: after the Last-Event-ID header's id, else after ?since=, else
  // from now (nullopt). False when a value given is not an event id.
  static bool EventsStart(const std::string& lastEventId, const std::string& target,
                          std::optional<std::int64_t>* since);

 private:
  void Accept();

  Services services_;
  boost::asio::io_context ioc_;
  boost::asio::ip::tcp::acceptor acceptor_;
  std::thread thread_;
};

}  // namespace zeb::server
