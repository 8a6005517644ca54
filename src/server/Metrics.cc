#include "server/Metrics.h"

#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <cctype>
#include <chrono>
#include <sstream>

#include "dispatch/MethodTable.h"
#include "zdl/DatabaseHealth.h"
#include "zdl/ResponseCache.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/DbDriver.h"

namespace zeb::server {

namespace {

namespace prom = prometheus;

// Request latencies from half a millisecond (a cached read) to ten seconds (a write that waited
// for the database lock).
const prom::Histogram::BucketBoundaries kLatencyBuckets = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                           0.1,    0.25,  0.5,    1,     2.5,  5,     10};

constexpr const char* kUnknownMethod = "unknown";
constexpr const char* kNoMethod = "none";

// "Client" and "Server" faults get codes of their own beside the numbers of detailed faults.
int CodeOf(std::string_view faultCode) {
  if (faultCode == "Client") return -1;
  if (faultCode == "Server") return -2;
  int code = 0;
  for (char c : faultCode) code = code * 10 + (c - '0');
  return code == 0 ? -3 : code;
}

// The fault codes that say the database (or the directory server), not the request, failed.
const char* DatabaseErrorKind(std::string_view faultCode) {
  if (faultCode == std::to_string(zdl::kZDLGeneralError)) return "general";
  if (faultCode == std::to_string(zdl::kZDLDatabaseUnavailable)) return "unavailable";
  if (faultCode == std::to_string(zdl::kZDLBusy)) return "busy";
  return nullptr;
}

// Raises counter to count, a count kept elsewhere that only grows.
void CatchUp(prometheus::Counter& counter, std::uint64_t count) {
  const auto value = static_cast<double>(count);
  if (value > counter.Value()) counter.Increment(value - counter.Value());
}

}  // namespace

Metrics::Metrics(const std::string& version) : registry_(std::make_shared<prom::Registry>()) {
  requests_ = &prom::BuildCounter()
                   .Name("zebd_requests_total")
                   .Help("SOAP requests answered, by method and outcome (response, or the fault code)")
                   .Register(*registry_);
  refusals_ = &prom::BuildCounter()
                   .Name("zebd_refusals_total")
                   .Help("Requests refused before reaching a method, by HTTP status")
                   .Register(*registry_);
  latency_ =
      &prom::BuildHistogram()
           .Name("zebd_request_duration_seconds")
           .Help("Time from the start of a SOAP request's processing to its trace record, by method family")
           .Register(*registry_);
  databaseErrors_ = &prom::BuildCounter()
                         .Name("zebd_database_errors_total")
                         .Help("Requests that failed in the configuration database, by kind")
                         .Register(*registry_);
  forbidden_ = &prom::BuildCounter()
                    .Name("zebd_forbidden_total")
                    .Help("Requests refused with 403 because the caller's role does not allow the method")
                    .Register(*registry_);
  rateLimited_ = &prom::BuildCounter()
                      .Name("zebd_rate_limited_total")
                      .Help("Requests refused with 429 because the caller was over its rate limit")
                      .Register(*registry_);
  directoryErrors_ = &prom::BuildCounter()
                          .Name("zebd_directory_errors_total")
                          .Help("Requests that failed in the directory server, by kind")
                          .Register(*registry_);
  for (const char* kind : {"general", "unavailable", "busy"}) {
    databaseErrors_->Add({{"kind", kind}});
    directoryErrors_->Add({{"kind", kind}});
  }
  for (const char* status : {"400", "401", "405", "413", "415", "431", "503"}) refusals_->Add({{"status", status}});

  auto counter = [this](const char* name, const char* help) {
    return &prom::BuildCounter().Name(name).Help(help).Register(*registry_).Add({});
  };
  auto gauge = [this](const char* name, const char* help) {
    return &prom::BuildGauge().Name(name).Help(help).Register(*registry_).Add({});
  };
  authenticationFailures_ = counter("zebd_authentication_failures_total", "Password checks that failed");
  tlsFailures_ = counter("zebd_tls_handshake_failures_total", "TLS handshakes that failed or timed out");
  connectionsRefused_ = counter("zebd_connections_refused_total",
                                "Connections closed at once because a connection cap was reached");
  idleEvicted_ = counter("zebd_idle_connections_evicted_total",
                         "Idle keep-alive connections closed to make room for a new connection at the cap");
  traceBytes_ = counter("zebd_trace_bytes_written_total", "Bytes written to the trace files");
  traceLost_ =
      counter("zebd_trace_records_lost_total",
              "Trace records that did not reach the trace files whole (directory unusable, disk full)");
  openConnections_ = gauge("zebd_open_connections", "Open client connections of the SOAP listener");
  reconnects_ =
      counter("zebd_database_reconnects_total", "Database connections made again after they were lost");
  forwarded_ = counter("zebd_forwarded_total", "Write requests this read-only node forwarded to the primary's node");
  readCacheHits_ =
      counter("zebd_read_cache_hits_total", "Gets answered from the kept answers (--read-cache)");
  readCacheMisses_ = counter("zebd_read_cache_misses_total",
                             "Gets that found no kept answer to serve and read the database");
  readOnly_ = gauge("zebd_database_read_only", "1 while the database is a read-only hot standby, else 0");
  replicationDelay_ = gauge("zebd_replication_delay_seconds",
                            "How far the standby's replay lags behind its primary (0 on a primary)");
  gauge("process_start_time_seconds", "Start time of the process since the epoch, in seconds")
      ->Set(std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count());
  prom::BuildGauge()
      .Name("zebd_build_info")
      .Help("The running build; always 1")
      .Register(*registry_)
      .Add({{"version", version}})
      .Set(1);

  std::vector<std::string> names;
  for (const MethodEntry& entry : MethodTable()) names.push_back(entry.name);
  names.push_back(kUnknownMethod);
  names.push_back(kNoMethod);
  for (const std::string& name : names) {
    auto series = std::make_unique<MethodSeries>();
    series->name = name;
    series->latency = &latency_->Add({{"family", Family(name == kNoMethod ? "" : name)}}, kLatencyBuckets);
    series->responses = &requests_->Add({{"method", name}, {"outcome", "response"}});
    if (name != kUnknownMethod && name != kNoMethod) {
      series->forbidden = &forbidden_->Add({{"method", name}});
      series->rateLimited = &rateLimited_->Add({{"method", name}});
    }
    methods_.emplace(series->name, std::move(series));
  }
}

Metrics::~Metrics() = default;

std::string Metrics::Family(std::string_view method) {
  if (method.empty()) return kNoMethod;
  if (method == kUnknownMethod || !FindMethod(method)) return kUnknownMethod;
  std::size_t verb = 0;
  while (verb < method.size() && std::islower(static_cast<unsigned char>(method[verb]))) ++verb;
  return std::string(method.substr(0, verb));
}

prom::Counter& Metrics::Counter(prom::Family<prom::Counter>& family, const std::string& label,
                                const std::string& value) {
  return family.Add({{label, value}});
}

Metrics::MethodSeries& Metrics::SeriesOf(std::string_view method) {
  if (method.empty()) return *methods_.at(kNoMethod);
  auto found = methods_.find(method);
  return found == methods_.end() ? *methods_.at(kUnknownMethod) : *found->second;
}

prom::Counter& Metrics::FaultCounter(MethodSeries& series, std::string_view faultCode) {
  const int code = CodeOf(faultCode);
  for (std::size_t i = 0; i < kFaultSlots; ++i) {
    const int slot = series.codes[i].load(std::memory_order_acquire);
    if (slot == code) return *series.faults[i].load(std::memory_order_acquire);
    if (slot == 0) break;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  prom::Counter& counter = requests_->Add({{"method", series.name}, {"outcome", std::string(faultCode)}});
  for (std::size_t i = 0; i < kFaultSlots; ++i) {
    const int slot = series.codes[i].load(std::memory_order_relaxed);
    if (slot == code) return counter;
    if (slot != 0) continue;
    // The counter is published before its code, so a reader that sees the code sees it too.
    series.faults[i].store(&counter, std::memory_order_release);
    series.codes[i].store(code, std::memory_order_release);
    break;
  }
  return counter;
}

void Metrics::OnRequest(const RequestSummary& summary) {
  if (summary.traceBytes) traceBytes_->Increment(static_cast<double>(summary.traceBytes));
  if (summary.traceLost) traceLost_->Increment();
  if (summary.refusalStatus) return OnRefusal(summary.refusalStatus);
  if (summary.forwarded) forwarded_->Increment();
  MethodSeries& series = SeriesOf(summary.method);
  series.latency->Observe(std::chrono::duration<double>(summary.elapsed).count());
  if (summary.faultCode.empty()) {
    series.responses->Increment();
    return;
  }
  if (summary.accessStatus == 403 && series.forbidden) series.forbidden->Increment();
  if (summary.accessStatus == 429 && series.rateLimited) series.rateLimited->Increment();
  FaultCounter(series, summary.faultCode).Increment();
  if (const char* kind = DatabaseErrorKind(summary.faultCode))
    (summary.directoryFault ? directoryErrors_ : databaseErrors_)->Add({{"kind", kind}}).Increment();
}

void Metrics::OnRefusal(int status) {
  std::lock_guard<std::mutex> lock(mutex_);
  Counter(*refusals_, "status", std::to_string(status)).Increment();
}
void Metrics::OnAuthenticationFailure() { authenticationFailures_->Increment(); }
void Metrics::OnTlsHandshakeFailure() { tlsFailures_->Increment(); }
void Metrics::OnConnectionRefused() { connectionsRefused_->Increment(); }
void Metrics::OnIdleConnectionEvicted() { idleEvicted_->Increment(); }

void Metrics::SetReplication(std::function<Replication()> source) {
  std::lock_guard<std::mutex> lock(mutex_);
  replication_ = std::move(source);
}

void Metrics::SetOpenConnections(std::function<std::size_t()> count) {
  std::lock_guard<std::mutex> lock(mutex_);
  openConnectionCount_ = std::move(count);
}

std::string Metrics::Text() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (openConnectionCount_) openConnections_->Set(static_cast<double>(openConnectionCount_()));
    if (replication_) {
      const Replication replication = replication_();
      readOnly_->Set(replication.readOnly ? 1 : 0);
      replicationDelay_->Set(replication.delaySeconds);
    }
    // The database layer keeps its own counts; the counters catch up with them, so that they
    // are exported as counters and never go down.
    CatchUp(*reconnects_, zdl::DatabaseReconnects());
    CatchUp(*readCacheHits_, zdl::ResponseCache::Hits());
    CatchUp(*readCacheMisses_, zdl::ResponseCache::Misses());
  }
  std::ostringstream out;
  prom::TextSerializer().Serialize(out, registry_->Collect());
  return out.str();
}

}  // namespace zeb::server
