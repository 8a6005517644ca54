#!/usr/bin/env bash
# The database back ends side by side, in one run: getCSS, getLine, addLine+removeLine pairs
# (and getPhone when the phone benchmark's files are present) against zebd on an embedded
# database and on a PostgreSQL database; then the aggregate getCSS rate of two zebd nodes on one
# PostgreSQL database beside that of one node, with the same number of client connections.
#
# Usage: bench/http/backends.sh [-b BUILD_DIR] [-d SECONDS] [-c CONNECTIONS]
#
# PostgreSQL: ZEB_BENCH_PG (a postgresql:// URI of a database the benchmark may connect to
# and create databases from, ending in /DBNAME) when set, else a throw-away cluster started with
# tests/pg/cluster.sh, which flushes every commit to disk as the embedded database does. Needs
# wrk, curl and psql. Builds nothing: BUILD_DIR defaults to ./build.
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
    *) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
zebd="$build_dir/zebd"
[[ -x "$zebd" ]] || { echo "backends.sh: no zebd at '$zebd'" >&2; exit 2; }
for tool in wrk curl psql; do
  command -v "$tool" >/dev/null || { echo "backends.sh: $tool is not installed" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-backends-XXXXXX")"
pids=()
pg_dir=""
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  [[ -z "$pg_dir" ]] || bash "$here/../../tests/pg/cluster.sh" stop "$pg_dir"
  rm -rf "$work"
}
trap cleanup EXIT

admin="${ZEB_BENCH_PG:-}"
if [[ -z "$admin" ]]; then
  pg_dir="$(mktemp -d "${TMPDIR:-/tmp}/zeb-bench-pg-XXXXXX")"
  admin="$(bash "$here/../../tests/pg/cluster.sh" start "$pg_dir" durable)"
fi

# Prints the location of a new, empty PostgreSQL database.
fresh_pg() {
  local name="zeb_bench_$1_$$"
  PGOPTIONS='-c client_min_messages=warning' psql "$admin" -qc "DROP DATABASE IF EXISTS $name" -c \
    "CREATE DATABASE $name TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'" >&2
  echo "${admin%/*}/$name"
}

# Starts zebd on database $1; sets node_port.
start_node() {
  local n="${#pids[@]}"
  "$zebd" --listen 127.0.0.1:0 --trace-dir "$work/trace$n" --db "$1" --secret-key "$work/zeb.key" >"$work/zebd$n.out" 2>"$work/zebd$n.err" &
  pids+=("$!")
  for _ in $(seq 300); do
    grep -q "^zebd listening on " "$work/zebd$n.out" 2>/dev/null && break
    sleep 0.1
  done
  node_port="$(sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$work/zebd$n.out")"
  [[ -n "$node_port" ]] || { echo "backends.sh: zebd did not start: $(cat "$work/zebd$n.err")" >&2; exit 1; }
}

stop_nodes() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  pids=()
}

# Runs the prepare scripts against the zebd on port $1 with database $2.
prepare() {
  ZEBD_PORT="$1" ZEBD_DB="$2" BENCH_WORK="$work" bash "$here/partitions-prepare.sh"
  ZEBD_PORT="$1" ZEBD_DB="$2" BENCH_WORK="$work" bash "$here/lines-prepare.sh"
  if [[ -n "$phones" ]]; then ZEBD_PORT="$1" ZEBD_DB="$2" BENCH_WORK="$work" \
    ZEB_LOAD_PHONES="${ZEB_LOAD_PHONES:-$build_dir/bench/zeb_load_phones}" bash "$here/phones-prepare.sh"; fi
}

# Requests per second of the envelope file $2 POSTed to port $1 over $3 connections.
# wrk wants at least one connection per thread: one connection gets one thread.
rate() {
  local out threads=2
  (($3 > 1)) || threads=1
  out="$(wrk -t"$threads" -c"$3" -d"${duration}s" -s "$here/post.lua" "http://127.0.0.1:$1/" -- "$2")"
  echo "$out" | grep -E "Non-2xx|Socket errors" >&2 || true
  echo "$out" | sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p'
}

# addLine+removeLine pairs per second against port $1.
pairs() {
  wrk -t2 -c8 -d"${duration}s" -s "$here/lines/pairs.lua" "http://127.0.0.1:$1/" |
    sed -n 's/^addLine+removeLine pairs\/s: *\([0-9.]*\).*/\1/p'
}

phones=""
[[ -f "$here/phones-prepare.sh" && -f "$here/phones/getPhone.xml" ]] && phones=1

declare -A result
for backend in sqlite postgresql; do
  if [[ "$backend" == sqlite ]]; then db="$work/zeb.db"; else db="$(fresh_pg single)"; fi
  start_node "$db"
  port="$node_port"
  prepare "$port" "$db"
  echo "$backend: getCSS, getLine$([[ -n "$phones" ]] && echo ", getPhone"), addLine pairs; $duration s each" >&2
  result[$backend.getCSS]="$(rate "$port" "$here/partitions/getCSS.xml" "$connections")"
  result[$backend.getLine]="$(rate "$port" "$here/lines/getLine.xml" "$connections")"
  [[ -z "$phones" ]] || result[$backend.getPhone]="$(rate "$port" "$here/phones/getPhone.xml" "$connections")"
  result[$backend.pairs]="$(pairs "$port")"
  stop_nodes
done

echo "postgresql: getCSS through one node, then through two nodes at once" >&2
db="$(fresh_pg shared)"
start_node "$db"
port_a="$node_port"
start_node "$db"
port_b="$node_port"
prepare "$port_a" "$db"
one="$(rate "$port_a" "$here/partitions/getCSS.xml" "$connections")"
half=$(((connections + 1) / 2))
rate "$port_a" "$here/partitions/getCSS.xml" "$half" >"$work/rate_a" &
rate_a_pid=$!
rate_b="$(rate "$port_b" "$here/partitions/getCSS.xml" "$half")"
wait "$rate_a_pid"
two="$(awk -v a="$(cat "$work/rate_a")" -v b="$rate_b" 'BEGIN { printf "%.2f", a + b }')"
stop_nodes

printf '\n%-34s %14s %14s\n' "requests per second" "embedded" "postgresql"
for name in getCSS getLine getPhone; do
  [[ -n "${result[sqlite.$name]:-}" ]] || continue
  printf '%-34s %14s %14s\n' "$name" "${result[sqlite.$name]}" "${result[postgresql.$name]}"
done
printf '%-34s %14s %14s\n' "addLine+removeLine pairs" "${result[sqlite.pairs]}" "${result[postgresql.pairs]}"
printf '\n%-34s %14s\n' "getCSS on one PostgreSQL database" "requests/s"
printf '%-34s %14s\n' "one node, $connections connections" "$one"
printf '%-34s %14s\n' "two nodes, $half connections each" "$two"
