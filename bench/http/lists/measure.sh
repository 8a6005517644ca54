#!/usr/bin/env bash
# Time per request and peak resident memory of zebd for the list queries at scale: starts zebd on
# a fresh database, fills it with lists-prepare.sh (100,000 phones), then for each envelope in
# this folder runs wrk over one connection for SECONDS and prints the mean latency, and finally
# zebd's peak resident set (VmHWM) before and after the requests.
#
# Usage: bench/http/lists/measure.sh [-b BUILD_DIR] [-d SECONDS]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir="$here/../../../build"
duration=10
while getopts "b:d:h" opt; do
  case "$opt" in
    b) build_dir="$OPTARG" ;;
    d) duration="$OPTARG" ;;
    *) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
command -v wrk >/dev/null || { echo "measure.sh: wrk is not installed (apt-get install wrk)" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-lists-XXXXXX")"
zebd_pid=""
cleanup() {
  [[ -n "$zebd_pid" ]] && kill "$zebd_pid" 2>/dev/null && wait "$zebd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$build_dir/zebd" --listen 127.0.0.1:0 --trace-dir "$work/trace" --db "$work/zeb.db" >"$work/zebd.out" 2>"$work/zebd.err" &
zebd_pid=$!
for _ in $(seq 100); do
  grep -q "^zebd listening on " "$work/zebd.out" 2>/dev/null && break
  sleep 0.1
done
port="$(sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$work/zebd.out")"
[[ -n "$port" ]] || { echo "measure.sh: zebd did not start" >&2; cat "$work/zebd.err" >&2; exit 1; }

ZEB_LOAD_PHONES="$build_dir/bench/zeb_load_phones" ZEBD_DB="$work/zeb.db" bash "$here/../lists-prepare.sh"
hwm() { sed -n 's/^VmHWM:[[:space:]]*//p' "/proc/$zebd_pid/status"; }
echo "zebd VmHWM after start and load: $(hwm)"

for envelope in "$here"/*.xml; do
  name="$(basename "$envelope" .xml)"
  answer="$(curl -s -H 'Content-Type: text/xml' --data-binary "@$envelope" "http://127.0.0.1:$port/")"
  echo "$name answers: $(grep -c '<phone ' <<<"$answer" || true) phone items, return $(grep -o '<return>[0-9]*</return>' <<<"$answer" || true)"
  out="$(wrk -t1 -c1 -d"${duration}s" --latency -s "$here/../post.lua" "http://127.0.0.1:$port/" -- "$envelope")"
  echo "$out" | grep -E "Non-2xx|Socket errors" >&2 || true
  latency="$(echo "$out" | awk '/^ +Latency/ { print $2; exit }')"
  p99="$(echo "$out" | awk '/^ +99%/ { print $2; exit }')"
  rps="$(echo "$out" | sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p')"
  printf '%-18s mean latency %-9s p99 %-9s %8s requests/s (one connection)\n' "$name" "$latency" "$p99" "$rps"
done
echo "zebd VmHWM after the requests: $(hwm)"
