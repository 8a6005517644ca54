// What zebd counts for its admin listener's /metrics: requests by method and outcome, refusals
// by HTTP status, methods refused to their caller's role or over its rate limit, latency by
// method family, connections, TLS and authentication failures, database and directory errors,
// database reconnects, trace bytes, start time and version. Kept in a prometheus-cpp registry
// and written in the Prometheus text format.
//
// The request path touches only counters and histograms found without a lock: the series of
// every method is made at construction, and a fault code's series is made once, then found
// by a lock-free scan of the method's slots.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "extension/CQuillonExtension.h"

namespace prometheus {
class Counter;
class Gauge;
class Histogram;
class Registry;
template <typename T>
class Family;
}  // namespace prometheus

namespace zeb::server {

class Metrics {
 public:
  // version: the build's version, exported as a label of zebd_build_info.
  explicit Metrics(const std::string& version);
  ~Metrics();
  Metrics(const Metrics&) = delete;
  Metrics& operator=(const Metrics&) = delete;

  // The extension's observer (ExtensionOptions::observer). Thread-safe, as are all below.
  void OnRequest(const RequestSummary& summary);
  // A request refused before any method, answered with status: by the extension (through
  // OnRequest), or by the host itself (400 or 431: not valid HTTP or a header too large; 413: a
  // body too large for the admin listener; 401; 503: the directory could not sign it in).
  void OnRefusal(int status);
  // The host's own events.
  void OnAuthenticationFailure();  // a password check that failed
  void OnTlsHandshakeFailure();
  void OnConnectionRefused();      // closed at once: a connection cap was reached
  void OnIdleConnectionEvicted();  // closed to make room for a new connection at the cap

  // Read when the metrics are written.
  void SetOpenConnections(std::function<std::size_t()> count);
  // The database's role and replication delay in seconds (NaN when not known), read when the
  // metrics are written. Without it, the node reports a writable database with no delay.
  struct Replication {
    bool readOnly = false;
    double delaySeconds = 0;
  };
  void SetReplication(std::function<Replication()> source);

  // The exposition in the Prometheus text format, version 0.0.4.
  std::string Text();

  // The method family of a request element's local name: the verb it starts with ("get",
  // "add", "list", ...), "unknown" for a name that names no method, "none" for no name.
  static std::string Family(std::string_view method);

 private:
  static constexpr std::size_t kFaultSlots = 24;
  struct MethodSeries {
    std::string name;
    prometheus::Histogram* latency = nullptr;
    prometheus::Counter* responses = nullptr;
    prometheus::Counter* forbidden = nullptr;    // refused to the caller's role (403)
    prometheus::Counter* rateLimited = nullptr;  // over the caller's rate limit (429)
    std::array<std::atomic<int>, kFaultSlots> codes{};  // 0: free slot
    std::array<std::atomic<prometheus::Counter*>, kFaultSlots> faults{};
  };

  MethodSeries& SeriesOf(std::string_view method);
  prometheus::Counter& FaultCounter(MethodSeries& series, std::string_view faultCode);
  prometheus::Counter& Counter(prometheus::Family<prometheus::Counter>& family, const std::string& label,
                               const std::string& value);

  std::shared_ptr<prometheus::Registry> registry_;
  prometheus::Family<prometheus::Counter>* requests_;
  prometheus::Family<prometheus::Counter>* refusals_;
  prometheus::Family<prometheus::Histogram>* latency_;
  prometheus::Family<prometheus::Counter>* databaseErrors_;
  prometheus::Family<prometheus::Counter>* forbidden_;
  prometheus::Family<prometheus::Counter>* rateLimited_;
  prometheus::Family<prometheus::Counter>* directoryErrors_;
  prometheus::Counter* authenticationFailures_;
  prometheus::Counter* tlsFailures_;
  prometheus::Counter* connectionsRefused_;
  prometheus::Counter* idleEvicted_;
  prometheus::Counter* traceBytes_;
  prometheus::Counter* traceLost_;
  prometheus::Gauge* openConnections_;
  prometheus::Counter* reconnects_;
  prometheus::Counter* forwarded_;
  prometheus::Counter* readCacheHits_;
  prometheus::Counter* readCacheMisses_;
  prometheus::Gauge* readOnly_;
  prometheus::Gauge* replicationDelay_;
  std::unordered_map<std::string_view, std::unique_ptr<MethodSeries>> methods_;  // fixed after construction
  std::mutex mutex_;  // making a new fault series; refusals by status; the open-connections source; reconnects_
  std::function<std::size_t()> openConnectionCount_;
  std::function<Replication()> replication_;
};

}  // namespace zeb::server
