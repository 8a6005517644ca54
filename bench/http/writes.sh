#!/usr/bin/env bash
# Writes on the embedded database against the disk's own limit, in one run. First a bare SQLite
# loop commits one-row transactions over one connection, with the settings zebd promises (WAL,
# synchronous=FULL), in the directory zebd's database is in: the single-connection sync rate.
# Then, against zebd on a fresh database there, addLine+removeLine pairs and addPhone with two
# lines, each over CONNECTIONS connections for SECONDS, with wrk's latency distribution, and the
# getCSS rate of the same zebd (which keeps no answers here, so that each get reads the file). Last, when eatmydata is installed, the pairs again against a zebd
# on another fresh database whose syncs eatmydata makes free: what a write costs beside the disk.
#
# Usage: bench/http/writes.sh [-b BUILD_DIR] [-d SECONDS] [-c CONNECTIONS]
#
# Needs wrk, curl and the sqlite3 shell. Builds nothing: BUILD_DIR defaults to ./build.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir=./build
duration=10
connections=32
while getopts "b:d:c:h" opt; do
  case "$opt" in
    b) build_dir="$OPTARG" ;;
    d) duration="$OPTARG" ;;
    c) connections="$OPTARG" ;;
    *) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
threads=$((connections < 2 ? connections : 2))  # wrk wants a connection per thread
for tool in wrk curl sqlite3; do
  command -v "$tool" >/dev/null || { echo "writes.sh: $tool is not installed" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-writes-XXXXXX")"
zebd_pid=""
cleanup() {
  [[ -n "$zebd_pid" ]] && kill "$zebd_pid" 2>/dev/null && wait "$zebd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }

# Commits per second of the bare loop: batches of 1000 transactions until SECONDS have passed.
bare_rate() {
  sqlite3 "$work/bare.db" "PRAGMA journal_mode = WAL; CREATE TABLE t (v TEXT);" >/dev/null
  { echo "PRAGMA synchronous = FULL;"
    yes "BEGIN IMMEDIATE; INSERT INTO t (v) VALUES ('0123456789abcdef0123456789abcdef'); COMMIT;" | head -n 1000
  } >"$work/batch.sql"
  local start commits=0
  start="$(now)"
  while awk -v t="$(elapsed "$start")" -v d="$duration" 'BEGIN { exit !(t < d) }'; do
    sqlite3 "$work/bare.db" <"$work/batch.sql"
    commits=$((commits + 1000))
  done
  awk -v n="$commits" -v t="$(elapsed "$start")" 'BEGIN { printf "%.0f", n / t }'
}

# wrk's requests per second, mean, 99th percentile and maximum latency, from its output on stdin.
summary() {
  awk '/^ *Latency +[0-9]/ { mean = $2; max = $4 } /^ *99% / { p99 = $2 } /^Requests\/sec/ { rps = $2 }
       END { printf "%s requests/s, mean %s, p99 %s, max %s", rps, mean, p99, max }'
}

echo "bare SQLite loop: one connection, WAL, synchronous=FULL, $duration s" >&2
bare="$(bare_rate)"

# start_zebd NAME [WRAPPER...]: a zebd on a fresh database in $work/NAME; sets port and zebd_pid.
start_zebd() {
  local name="$1"
  shift
  mkdir -p "$work/$name"
  "$@" "$build_dir/zebd" --listen 127.0.0.1:0 --trace-dir "$work/$name/trace" --db "$work/$name/zeb.db" --read-cache 0 \
    >"$work/$name/zebd.out" 2>&1 &
  zebd_pid=$!
  for _ in $(seq 100); do
    grep -q "^zebd listening on " "$work/$name/zebd.out" 2>/dev/null && break
    sleep 0.1
  done
  port="$(sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$work/$name/zebd.out")"
  [[ -n "$port" ]] || { echo "writes.sh: zebd did not start" >&2; cat "$work/$name/zebd.out" >&2; exit 1; }
}

start_zebd durable
ZEBD_PORT="$port" ZEBD_DB="$work/durable/zeb.db" BENCH_WORK="$work" bash "$here/lines-prepare.sh"
ZEBD_PORT="$port" ZEBD_DB="$work/durable/zeb.db" BENCH_WORK="$work" bash "$here/partitions-prepare.sh"
ZEBD_PORT="$port" ZEBD_DB="$work/durable/zeb.db" BENCH_WORK="$work" \
  ZEB_LOAD_PHONES="${ZEB_LOAD_PHONES:-$build_dir/bench/zeb_load_phones}" bash "$here/phones-prepare.sh" >&2

echo "zebd addLine+removeLine pairs: wrk $connections connections, $duration s" >&2
out="$(wrk -t"$threads" -c"$connections" -d"${duration}s" --latency -s "$here/lines/pairs.lua" "http://127.0.0.1:$port/")"
pairs="$(echo "$out" | sed -n 's/^addLine+removeLine pairs\/s: *\([0-9.]*\).*/\1/p')"
pairs_summary="$(echo "$out" | summary)"
echo "zebd addPhone with two lines: wrk $connections connections, $duration s" >&2
out="$(wrk -t"$threads" -c"$connections" -d"${duration}s" --latency -s "$here/phones/unique.lua" "http://127.0.0.1:$port/" \
  -- "$here/phones/addPhone.xml")"
phones_summary="$(echo "$out" | summary)"
echo "$out" | grep -E "Non-2xx|Socket errors" >&2 || true
echo "zebd getCSS: wrk $connections connections, $duration s" >&2
out="$(wrk -t"$threads" -c"$connections" -d"${duration}s" -s "$here/post.lua" "http://127.0.0.1:$port/" \
  -- "$here/partitions/getCSS.xml")"
css="$(echo "$out" | sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p')"
kill "$zebd_pid" && wait "$zebd_pid" 2>/dev/null || true
zebd_pid=""

free_pairs=""
if command -v eatmydata >/dev/null; then
  start_zebd free eatmydata
  ZEBD_PORT="$port" ZEBD_DB="$work/free/zeb.db" BENCH_WORK="$work" bash "$here/lines-prepare.sh"
  echo "zebd addLine+removeLine pairs under eatmydata: wrk $connections connections, $duration s" >&2
  out="$(wrk -t"$threads" -c"$connections" -d"${duration}s" --latency -s "$here/lines/pairs.lua" "http://127.0.0.1:$port/")"
  free_pairs="$(echo "$out" | sed -n 's/^addLine+removeLine pairs\/s: *\([0-9.]*\).*/\1/p')"
  free_summary="$(echo "$out" | summary)"
fi

commits="$(awk -v p="$pairs" 'BEGIN { printf "%.0f", 2 * p }')"
printf '\n%-36s %s commits/s\n' "bare SQLite loop, one connection" "$bare"
printf '%-36s %s commits/s (%s of the bare loop); %s\n' "addLine+removeLine, $connections connections" "$commits" \
  "$(awk -v a="$commits" -v b="$bare" 'BEGIN { printf "%.2f", a / b }')" "$pairs_summary"
printf '%-36s %s\n' "addPhone (two lines), $connections conn." "$phones_summary"
printf '%-36s %s requests/s\n' "getCSS, $connections connections" "$css"
if [[ -n "$free_pairs" ]]; then
  free_commits="$(awk -v p="$free_pairs" 'BEGIN { printf "%.0f", 2 * p }')"
  printf '%-36s %s commits/s; %s\n' "the same under eatmydata" "$free_commits" "$free_summary"
  printf '%-36s %s\n' "durable / eatmydata commits" \
    "$(awk -v a="$commits" -v b="$free_commits" 'BEGIN { printf "%.2f", a / b }')"
  printf '%-36s %s\n' "eatmydata commits / getCSS requests" \
    "$(awk -v a="$free_commits" -v b="$css" 'BEGIN { printf "%.2f", a / b }')"
else
  echo "(eatmydata is not installed: no comparison with free syncs)"
fi
