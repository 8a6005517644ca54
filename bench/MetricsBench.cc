// What counting one request costs the request's thread: Metrics::OnRequest for a response, a
// fault and a refusal, alone and from two threads at once (the SOAP workers of a 2-core host).
#include <benchmark/benchmark.h>

#include <chrono>

#include "server/Metrics.h"

namespace {

zeb::server::Metrics& SharedMetrics() {
  static zeb::server::Metrics metrics("bench");
  return metrics;
}

void Count(benchmark::State& state, std::string_view method, std::string_view fault, int refusal) {
  zeb::RequestSummary summary;
  summary.method = method;
  summary.faultCode = fault;
  summary.refusalStatus = refusal;
  summary.elapsed = std::chrono::microseconds(180);
  summary.traceBytes = 900;
  for (auto _ : state) SharedMetrics().OnRequest(summary);
}

void BM_Response(benchmark::State& state) { Count(state, "getPhone", "", 0); }
void BM_UnknownMethodFault(benchmark::State& state) { Count(state, "fooBar", "5002", 0); }
void BM_LibraryFault(benchmark::State& state) { Count(state, "addLine", "3", 0); }
void BM_Refusal(benchmark::State& state) { Count(state, "", "", 405); }

void BM_Exposition(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(SharedMetrics().Text());
}

BENCHMARK(BM_Response)->Threads(1)->Threads(2);
BENCHMARK(BM_UnknownMethodFault)->Threads(1)->Threads(2);
BENCHMARK(BM_LibraryFault)->Threads(1)->Threads(2);
BENCHMARK(BM_Refusal)->Threads(1)->Threads(2);
BENCHMARK(BM_Exposition);

}  // namespace

BENCHMARK_MAIN();
