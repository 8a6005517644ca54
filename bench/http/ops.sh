#!/usr/bin/env bash
# What running zebd as a service costs, each measured against a twin zebd in the same run:
#   - metrics: the unknown-method and getPhone rates of a zebd with --admin-listen (scraped
#     every two seconds while it is measured) beside one without;
#   - audit: addLine+removeLine pairs of a zebd writing audit rows (the default) beside one
#     started with --no-audit.
# The twins are measured alternately, ROUNDS times (default 3), and each side's median is
# reported, so that a drift of the machine's load touches both alike.
#
# Usage: bench/http/ops.sh [-b BUILD_DIR] [-d SECONDS] [-c CONNECTIONS] [-r ROUNDS] [metrics|audit]...
# Needs wrk and curl; builds nothing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir=./build
duration=10
connections=32
rounds=3
while getopts "b:d:c:r:h" opt; do
  case "$opt" in
    b) build_dir="$OPTARG" ;;
    d) duration="$OPTARG" ;;
    c) connections="$OPTARG" ;;
    r) rounds="$OPTARG" ;;
    *) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
parts=("$@")
[[ ${#parts[@]} -gt 0 ]] || parts=(metrics audit)
zebd="$build_dir/zebd"
[[ -x "$zebd" ]] || { echo "ops.sh: no zebd at '$zebd'" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-ops-XXXXXX")"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# start NAME OPTIONS...: a zebd in $work/NAME; sets port_NAME (and admin_NAME).
start() {
  local name="$1"
  shift
  mkdir -p "$work/$name"
  "$zebd" --listen 127.0.0.1:0 --trace-dir "$work/$name/trace" --db "$work/$name/zeb.db" "$@" \
    >"$work/$name/out" 2>"$work/$name/err" &
  pids+=($!)
  for _ in $(seq 100); do
    grep -q "^zebd listening on " "$work/$name/out" 2>/dev/null && break
    sleep 0.1
  done
  local port
  port="$(sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$work/$name/out")"
  [[ -n "$port" ]] || { echo "ops.sh: zebd $name did not start" >&2; cat "$work/$name/err" >&2; exit 1; }
  printf -v "port_$name" '%s' "$port"
  printf -v "admin_$name" '%s' "$(sed -n 's/^zebd admin listening on .*:\([0-9]*\)$/\1/p' "$work/$name/out")"
}

# rate SCRIPT PORT ARGS...: one wrk run; prints its rate (pairs/s for pairs.lua, else requests/s).
rate() {
  local script="$1" port="$2"
  shift 2
  local out
  out="$(wrk -t2 -c"$connections" -d"${duration}s" -s "$script" "http://127.0.0.1:$port/" -- "$@")"
  echo "$out" | grep -E "Non-2xx|Socket errors" >&2 || true
  if echo "$out" | grep -q "pairs/s"; then
    echo "$out" | sed -n 's/^addLine+removeLine pairs\/s: \([0-9.]*\).*/\1/p'
  else
    echo "$out" | sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p'
  fi
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }'; }

# compare LABEL SCRIPT ON_PORT OFF_PORT SCRAPE_PORT ARGS...: alternating rounds, medians, ratio.
compare() {
  local label="$1" script="$2" on="$3" off="$4" scrape="$5"
  shift 5
  local ons=() offs=() scraper=""
  for round in $(seq "$rounds"); do
    if [[ -n "$scrape" ]]; then
      (while :; do curl -s "http://127.0.0.1:$scrape/metrics" >/dev/null; sleep 2; done) &
      scraper=$!
    fi
    ons+=("$(rate "$script" "$on" "$@")")
    [[ -n "$scraper" ]] && kill "$scraper" && wait "$scraper" 2>/dev/null || true
    offs+=("$(rate "$script" "$off" "$@")")
    echo "  $label round $round: on ${ons[-1]}, off ${offs[-1]}" >&2
  done
  local a b
  a="$(median "${ons[@]}")"
  b="$(median "${offs[@]}")"
  printf '%-34s %12s %12s %8s\n' "$label" "$a" "$b" "$(ratio "$a" "$b")" >>"$work/report"
}

printf '%-34s %12s %12s %8s\n' "measurement (median of $rounds)" "on" "off" "on/off" >"$work/report"

for part in "${parts[@]}"; do
  case "$part" in
    metrics)
      start metrics_on --admin-listen 0
      start metrics_off
      for name in metrics_on metrics_off; do
        port_var="port_$name"
        ZEBD_PORT="${!port_var}" ZEBD_DB="$work/$name/zeb.db" BENCH_WORK="$work/$name" \
          ZEB_LOAD_PHONES="$build_dir/bench/zeb_load_phones" bash "$here/phones-prepare.sh" >&2
      done
      # shellcheck disable=SC2154
      compare "unknown-method requests/s" "$here/post.lua" "$port_metrics_on" "$port_metrics_off" \
        "$admin_metrics_on" "$here/unknown-method.xml"
      compare "getPhone requests/s" "$here/post.lua" "$port_metrics_on" "$port_metrics_off" \
        "$admin_metrics_on" "$here/phones/getPhone.xml"
      ;;
    audit)
      start audit_on
      start audit_off --no-audit
      for name in audit_on audit_off; do
        port_var="port_$name"
        ZEBD_PORT="${!port_var}" ZEBD_DB="$work/$name/zeb.db" bash "$here/lines-prepare.sh" >&2
      done
      # shellcheck disable=SC2154
      compare "addLine+removeLine pairs/s" "$here/lines/pairs.lua" "$port_audit_on" "$port_audit_off" ""
      echo "  audit rows written: $("$zebd" audit --db "$work/audit_on/zeb.db" | wc -l)" >&2
      ;;
    *) echo "ops.sh: unknown part '$part' (metrics or audit)" >&2; exit 2 ;;
  esac
done
echo
cat "$work/report"
