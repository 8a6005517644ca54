#!/usr/bin/env bash
# addPhone throughput: zebd on a fresh database prepared by phones-prepare.sh (PHONES phones,
# default 100), then wrk POSTs addPhone requests with two lines each, every one naming a new
# phone, and the run reports requests per second and how many phones were really added.
#
# Usage: bench/http/phones-add.sh [-b BUILD_DIR] [-d SECONDS] [-c CONNECTIONS] [-t THREADS]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir=./build
duration=10
connections=8
threads=2
while getopts "b:d:c:t:h" opt; do
  case "$opt" in
    b) build_dir="$OPTARG" ;;
    d) duration="$OPTARG" ;;
    c) connections="$OPTARG" ;;
    t) threads="$OPTARG" ;;
    *) sed -n '2,6p' "$0"; exit 2 ;;
  esac
done

work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-add-XXXXXX")"
zebd_pid=""
cleanup() {
  [[ -n "$zebd_pid" ]] && kill "$zebd_pid" 2>/dev/null && wait "$zebd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$build_dir/zebd" --listen 127.0.0.1:0 --trace-dir "$work/trace" --db "$work/zeb.db" >"$work/zebd.out" 2>&1 &
zebd_pid=$!
for _ in $(seq 100); do
  grep -q "^zebd listening on " "$work/zebd.out" 2>/dev/null && break
  sleep 0.1
done
port="$(sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$work/zebd.out")"
[[ -n "$port" ]] || { echo "phones-add: zebd did not start" >&2; cat "$work/zebd.out" >&2; exit 1; }

ZEBD_PORT="$port" ZEBD_DB="$work/zeb.db" BENCH_WORK="$work" \
  ZEB_LOAD_PHONES="${ZEB_LOAD_PHONES:-$build_dir/bench/zeb_load_phones}" bash "$here/phones-prepare.sh"
out="$(wrk -t"$threads" -c"$connections" -d"${duration}s" -s "$here/phones/unique.lua" \
  "http://127.0.0.1:$port/" -- "$here/phones/addPhone.xml")"
requests="$(echo "$out" | sed -n 's/^ *\([0-9]*\) requests in.*/\1/p')"
added="$(sqlite3 "$work/zeb.db" "SELECT count(*) FROM Device WHERE Name LIKE 'ADD%'")"
lines="$(sqlite3 "$work/zeb.db" "SELECT count(*) FROM DeviceNumPlanMap m JOIN Device d ON d.pkid = m.fkDevice WHERE d.Name LIKE 'ADD%'")"
echo "$out" | grep -E "Latency|Requests/sec|Non-2xx|Socket errors" >&2
echo "addPhone (two lines), $connections connections: $(echo "$out" | sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p') requests/s; $requests requests, $added phones added with $lines line appearances"
