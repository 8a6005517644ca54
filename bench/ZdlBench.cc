// Point reads and single-record writes through the configuration database library, on a
// temporary database in the current directory's temp space:
//   zeb_bench_zdl [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "builders/BuilderSupport.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/Records.h"

namespace {

using namespace zeb::zdl;

// One database with 1000 partitions for all benchmarks.
struct Fixture {
  Fixture() {
    char pattern[] = "/tmp/zeb-bench-XXXXXX";
    dir = mkdtemp(pattern);
    db = CZDLDatabase::Open(dir + "/zeb.db");
    CZDLSession& session = db->Session();
    CZDLTransaction transaction(session);
    CRoutePartitionList list(session);
    for (int i = 0; i < 1000; ++i) list.Insert()->PutName("Partition" + std::to_string(i));
    list.Update();
    transaction.Commit();
    list.SelectByName("Partition500");
    id = list.GetCurrentItem()->GetID();
  }
  ~Fixture() { std::system(("rm -rf " + dir).c_str()); }
  std::string dir;
  std::unique_ptr<CZDLDatabase> db;
  CZDLID id;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_SelectByName(benchmark::State& state) {
  CZDLSession& session = Shared().db->Session();
  for (auto _ : state) {
    CRoutePartitionList list(session);
    list.SelectByName("partition500");
    benchmark::DoNotOptimize(list.Count());
  }
}
BENCHMARK(BM_SelectByName);

void BM_SelectByID(benchmark::State& state) {
  CZDLSession& session = Shared().db->Session();
  const CZDLID id = Shared().id;
  for (auto _ : state) {
    CRoutePartitionList list(session);
    list.SelectByID(id);
    benchmark::DoNotOptimize(list.Count());
  }
}
BENCHMARK(BM_SelectByID);

void BM_FastAccessByID(benchmark::State& state) {
  CZDLSession& session = Shared().db->Session();
  const CZDLID id = Shared().id;
  for (auto _ : state) {
    CFastAccess row(session, "RoutePartition");
    row.SelectByID(id);
    benchmark::DoNotOptimize(row.getString("Name"));
  }
}
BENCHMARK(BM_FastAccessByID);

void BM_TypeText(benchmark::State& state) {
  CZDLSession& session = Shared().db->Session();
  for (auto _ : state) benchmark::DoNotOptimize(zeb::TypeText(session, "TypeProduct", 35));
}
BENCHMARK(BM_TypeText);

// One insert and one update per iteration, each its own transaction (synchronous=FULL).
void BM_InsertThenUpdate(benchmark::State& state) {
  CZDLSession& session = Shared().db->Session();
  static long n = 0;
  for (auto _ : state) {
    CRoutePartitionList list(session);
    auto partition = list.Insert();
    partition->PutName("Written" + std::to_string(n++));
    list.Update();
    partition->PutDescription("changed");
    list.Update();
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_InsertThenUpdate)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
