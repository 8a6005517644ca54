#!/usr/bin/env bash
# Two builds of zebd side by side: both run at once, each on a database prepared alike, and short
# wrk runs alternate between them (base, new, new, base, ...). A drift of the machine's speed,
# which on a shared virtual machine moves single runs by 20% and more, then falls on both halves
# of a pair alike, and the median of the per-pair ratios can resolve a few per cent.
#
# Usage: bench/http/compare.sh [-n PAIRS] [-d SECONDS] BASE_BUILD_DIR NEW_BUILD_DIR [REQUEST ...]
#
# REQUEST is unknown-method, getPhone, getCSS or addLine (addLine+removeLine pairs over 8
# connections); all four when none is named. Each build directory needs zebd and
# bench/zeb_load_phones. The zebd processes share all processors but the last, which wrk has to
# itself. Prints, per request, the median rate of each build and the median and quartiles of the
# new/base ratios. Needs wrk and curl; builds nothing.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
pairs=15
duration=3
while getopts "n:d:h" opt; do
  case "$opt" in
    n) pairs="$OPTARG" ;;
    d) duration="$OPTARG" ;;
    *) sed -n '7,13p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
(($# >= 2)) || { sed -n '7,13p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
builds=("$1" "$2")
shift 2
requests=("$@")
((${#requests[@]})) || requests=(unknown-method getPhone getCSS addLine)
for request in "${requests[@]}"; do
  case "$request" in
    unknown-method | getPhone | getCSS | addLine) ;;
    *) echo "compare.sh: no request '$request' (unknown-method, getPhone, getCSS, addLine)" >&2; exit 2 ;;
  esac
done
for build in "${builds[@]}"; do
  [[ -x "$build/zebd" && -x "$build/bench/zeb_load_phones" ]] ||
    { echo "compare.sh: '$build' has no zebd or bench/zeb_load_phones" >&2; exit 2; }
done
for tool in wrk curl; do
  command -v "$tool" >/dev/null || { echo "compare.sh: $tool is not installed" >&2; exit 2; }
done

last=$(($(nproc) - 1))
server_cpus="0-$((last > 0 ? last - 1 : 0))"
client_cpu="$last"

work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-compare-XXXXXX")"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# Starts the zebd of build $1 as node $2 and fills its database; sets ports[$2].
ports=()
start() {
  local dir="$work/node$2"
  mkdir -p "$dir"
  taskset -c "$server_cpus" "$1/zebd" --listen 127.0.0.1:0 --trace-dir "$dir/trace" --db "$dir/zeb.db" \
    >"$dir/zebd.out" 2>"$dir/zebd.err" &
  pids+=($!)
  for _ in $(seq 100); do
    grep -q "^zebd listening on " "$dir/zebd.out" 2>/dev/null && break
    sleep 0.1
  done
  ports[$2]="$(sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$dir/zebd.out")"
  [[ -n "${ports[$2]}" ]] || { echo "compare.sh: zebd of $1 did not start:" >&2; cat "$dir/zebd.err" >&2; exit 1; }
  for prepare in phones partitions lines; do
    ZEBD_PORT="${ports[$2]}" ZEBD_DB="$dir/zeb.db" BENCH_WORK="$dir" ZEB_LOAD_PHONES="$1/bench/zeb_load_phones" \
      bash "$here/$prepare-prepare.sh" >/dev/null 2>"$dir/prepare.err" ||
      { echo "compare.sh: $prepare-prepare.sh failed on $1:" >&2; cat "$dir/prepare.err" >&2; exit 1; }
  done
}
start "${builds[0]}" 0
start "${builds[1]}" 1

# One wrk run of request $1 against node $2 for $3 seconds; prints its rate.
rate() {
  local url="http://127.0.0.1:${ports[$2]}/" out
  if [[ "$1" == addLine ]]; then
    out="$(taskset -c "$client_cpu" wrk -t1 -c8 -d"$3s" -s "$here/lines/pairs.lua" "$url")"
    echo "$out" | sed -n 's/^addLine+removeLine pairs\/s: *\([0-9.]*\) (faults: 0)$/\1/p'
    return
  fi
  local body="$here/phones/getPhone.xml"
  [[ "$1" == getCSS ]] && body="$here/partitions/getCSS.xml"
  [[ "$1" == unknown-method ]] && body="$here/unknown-method.xml"
  out="$(taskset -c "$client_cpu" wrk -t1 -c32 -d"$3s" -s "$here/post.lua" "$url" -- "$body")"
  echo "$out" | grep -qE "Non-2xx|Socket errors" && [[ "$1" != unknown-method ]] && return
  echo "$out" | sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p'
}

echo "pairs of ${duration}-s runs, zebd on processors $server_cpus, wrk on processor $client_cpu" >&2
for request in "${requests[@]}"; do
  rate "$request" 0 1 >/dev/null  # warm both up
  rate "$request" 1 1 >/dev/null
  for i in $(seq "$pairs"); do
    order=(0 1)
    ((i % 2)) || order=(1 0)
    for node in "${order[@]}"; do
      r="$(rate "$request" "$node" "$duration")"
      [[ -n "$r" ]] || { echo "compare.sh: $request on ${builds[$node]} failed or was refused" >&2; exit 1; }
      rates[$node]="$r"
    done
    echo "$request ${rates[0]} ${rates[1]}"
  done
done | tee "$work/rates" | awk '{ printf "  %-15s %10s %10s\n", $1, $2, $3 }' >&2

python3 - "$work/rates" "${builds[@]}" <<'EOF'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    request, base, new = line.split()
    rows.setdefault(request, []).append((float(base), float(new)))
print(f"\nbase: {sys.argv[2]}\nnew:  {sys.argv[3]}\n")
print(f"{'request':16} {'pairs':>5} {'base/s':>10} {'new/s':>10} {'new/base':>9} {'quartiles':>13}")
for request, pairs in rows.items():
    ratios = sorted(new / base for base, new in pairs)
    q = statistics.quantiles(ratios, n=4) if len(ratios) > 1 else [ratios[0]] * 3
    print(f"{request:16} {len(pairs):5} {statistics.median(b for b, _ in pairs):10.0f} "
          f"{statistics.median(n for _, n in pairs):10.0f} {q[1]:9.3f}   {q[0]:.3f}-{q[2]:.3f}")
EOF
