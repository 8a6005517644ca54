#!/usr/bin/env bash
# Creates three route partitions and a calling search space holding them, for the partition
# benchmarks: bench/http/run.sh -p bench/http/partitions-prepare.sh \
#   getRoutePartition=bench/http/partitions/getRoutePartition.xml getCSS=bench/http/partitions/getCSS.xml
set -euo pipefail
post() {
  curl -sf -H 'Content-Type: text/xml' --data-binary "<Envelope><Body>$1</Body></Envelope>" \
    "http://127.0.0.1:$ZEBD_PORT/" | grep -q '<return>{' || { echo "prepare: $1 failed" >&2; exit 1; }
}
for p in 1 2 3; do
  post "<addRoutePartition><p><name>Bench$p</name><description>Benchmark partition $p</description></p></addRoutePartition>"
done
post "<addCSS><c><name>BenchCSS</name><description>Three members</description><members>
<member index=\"1\"><routePartitionName>Bench1</routePartitionName></member>
<member index=\"2\"><routePartitionName>Bench2</routePartitionName></member>
<member index=\"3\"><routePartitionName>Bench3</routePartitionName></member></members></c></addCSS>"
