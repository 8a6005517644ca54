#!/usr/bin/env bash
# Change events under write load, in one run against one zebd on a fresh embedded database:
# addLine+removeLine pairs (lines/pairs.lua) with nobody listening, then with one webhook
# subscription to a local receiver and one GET /events client (events/subscribers.py); then the
# time from an acknowledged change to its arrival at each (median and p99 of CHANGES changes made
# one at a time, 20 ms apart). Negative times are events that arrived before the response.
#
# Usage: bench/http/events.sh [-b BUILD_DIR] [-d SECONDS] [-c CONNECTIONS] [-n CHANGES]
#
# Needs wrk, curl and python3. Builds nothing: BUILD_DIR defaults to ./build.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir=./build
duration=10
connections=8
changes=200
while getopts "b:d:c:n:h" opt; do
  case "$opt" in
    b) build_dir="$OPTARG" ;;
    d) duration="$OPTARG" ;;
    c) connections="$OPTARG" ;;
    n) changes="$OPTARG" ;;
    *) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-events-XXXXXX")"
zebd_pid=""
cleanup() {
  [[ -n "$zebd_pid" ]] && kill "$zebd_pid" 2>/dev/null && wait "$zebd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

zebd="$(cd "$build_dir" && pwd)/zebd"
"$zebd" --listen 127.0.0.1:0 --admin-listen 127.0.0.1:0 --trace-dir "$work/trace" --db "$work/zeb.db" \
  >"$work/zebd.out" 2>&1 &
zebd_pid=$!
for _ in $(seq 100); do
  grep -q "^zebd listening on " "$work/zebd.out" 2>/dev/null && break
  sleep 0.1
done
port="$(sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$work/zebd.out")"
admin="$(sed -n 's/^zebd admin listening on .*:\([0-9]*\)$/\1/p' "$work/zebd.out")"
[[ -n "$port" ]] || { echo "events.sh: zebd did not start" >&2; cat "$work/zebd.out" >&2; exit 1; }
ZEBD_PORT="$port" ZEBD_DB="$work/zeb.db" BENCH_WORK="$work" bash "$here/lines-prepare.sh"

# CPU seconds zebd has used so far (user + system), to give each load's cost per pair: on a
# machine whose cores the receivers and wrk share with zebd, rates alone mix zebd's own cost
# with theirs.
zebd_cpu() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f", ($14 + $15) / hz }' "/proc/$zebd_pid/stat"; }
per_pair() {  # per_pair CPU_BEFORE CPU_AFTER WRK_OUTPUT
  local pairs; pairs="$(sed -n 's/^pairs: \([0-9]*\).*/\1/p' <<<"$3")"
  [[ -n "$pairs" && "$pairs" -gt 0 ]] && awk -v a="$1" -v b="$2" -v n="$pairs" \
    'BEGIN { printf "zebd CPU per pair: %.1f us\n", (b - a) * 1e6 / n }'
}

load=(wrk -t2 -c"$connections" -d"${duration}s" -s "$here/lines/pairs.lua" "http://127.0.0.1:$port/")
echo "addLine+removeLine pairs, nobody listening:"
before="$(zebd_cpu)"
out="$("${load[@]}")"
grep -E "pairs/s|Non-2xx|Socket errors" <<<"$out"
per_pair "$before" "$(zebd_cpu)" "$out"
echo "addLine+removeLine pairs, one webhook subscription and one SSE client:"
ZEBD_PID="$zebd_pid" python3 "$here/events/subscribers.py" "$zebd" "$work/zeb.db" "$work/zeb.key" "$port" "$admin" "$changes" \
  -- "${load[@]}" | grep -E "pairs|Non-2xx|Socket errors|webhook|sse|CPU"
