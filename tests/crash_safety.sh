#!/usr/bin/env bash
# Crash safety: zebd is killed with SIGKILL again and again while clients add and update route
# partitions and calling search spaces. After every restart the database must pass SQLite's
# integrity check, every write answered with a success response must be there, and no calling
# search space may exist without all the members its request named.
#
# Usage: tests/crash_safety.sh ZEBD [ROUNDS]
set -euo pipefail

zebd="$1"
rounds="${2:-6}"
clients=4
work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-crash-XXXXXX")"
zebd_pid=""
cleanup() {
  [[ -n "$zebd_pid" ]] && kill -9 "$zebd_pid" 2>/dev/null || true
  touch "$work/stop"
  wait 2>/dev/null || true
  [[ -n "${ZEB_KEEP_TEST_DIRS:-}" ]] || rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "crash_safety: $*" >&2; exit 1; }

start_zebd() {
  rm -f "$work/zebd.out"
  "$zebd" --listen 127.0.0.1:0 --db "$work/zeb.db" --trace-dir "$work/trace" >"$work/zebd.out" 2>>"$work/zebd.err" &
  zebd_pid=$!
  for _ in $(seq 1000); do
    grep -q "^zebd listening on " "$work/zebd.out" 2>/dev/null && break
    sleep 0.02
  done
  sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$work/zebd.out" >"$work/port.tmp"
  [[ -s "$work/port.tmp" ]] || fail "zebd did not start: $(cat "$work/zebd.err")"
  mv "$work/port.tmp" "$work/port"
}

# Posts one request element; prints the response body, or nothing when there was no answer.
# While zebd is down (no port, or the connection is refused) it pauses instead of spinning.
call() {
  local port
  if ! port="$(cat "$work/port" 2>/dev/null)"; then
    sleep 0.05
    return 0
  fi
  curl -s --max-time 5 -H 'Content-Type: text/xml' --data-binary @- "http://127.0.0.1:$port/" \
    <<<"<Envelope><Body>$1</Body></Envelope>" || sleep 0.05
}

# One client: adds its partitions, updates their descriptions, adds calling search spaces with
# three members each. It logs what it attempted and what was acknowledged.
client() {
  local c="$1" n=0
  while [[ ! -e "$work/stop" ]]; do
    n=$((n + 1))
    local p="C${c}P${n}"
    if [[ "$(call "<addRoutePartition><p><name>$p</name></p></addRoutePartition>")" == *"<return>{"* ]]; then
      echo "$p" >>"$work/acked-partitions"
    fi
    echo "$n" >"$work/attempted-update-$c.tmp" && mv "$work/attempted-update-$c.tmp" "$work/attempted-update-$c"
    if [[ "$(call "<updateRoutePartition><name>C${c}P1</name><description>v$n</description></updateRoutePartition>")" == *"<return>{"* ]]; then
      echo "$n" >"$work/acked-update-$c.tmp" && mv "$work/acked-update-$c.tmp" "$work/acked-update-$c"
    fi
    local members="" m
    for m in 1 2 3; do members+="<member index=\"$m\"><routePartitionName>C${c}P${m}</routePartitionName></member>"; done
    if [[ "$(call "<addCSS><s><name>C${c}S${n}</name><members>$members</members></s></addCSS>")" == *"<return>{"* ]]; then
      echo "C${c}S${n}" >>"$work/acked-css"
    fi
  done
}

# Compares the acknowledged writes with the database, read by one sqlite3 run.
check() {
  sqlite3 "$work/zeb.db" "PRAGMA integrity_check;
    SELECT 'P ' || Name FROM RoutePartition;
    SELECT 'S ' || Name FROM CallingSearchSpace;
    SELECT 'D ' || Name || ' ' || substr(Description, 2) FROM RoutePartition WHERE Name GLOB 'C*P1';
    SELECT 'B ' || Name FROM CallingSearchSpace c
      WHERE (SELECT count(*) FROM callingSearchSpaceMember m WHERE m.fkCallingSearchSpace = c.pkid) <> 3;" \
    >"$work/state"
  [[ "$(head -n 1 "$work/state")" == "ok" ]] || fail "integrity check failed: $(head -n 3 "$work/state")"
  local kind
  for kind in partitions:P css:S; do
    [[ -s "$work/acked-${kind%:*}" ]] || continue
    sed -n "s/^${kind#*:} //p" "$work/state" | sort >"$work/stored"
    sort "$work/acked-${kind%:*}" | comm -23 - "$work/stored" | grep . &&
      fail "answered ${kind%:*} writes are missing"
  done
  local c stored acked attempted
  for c in $(seq "$clients"); do
    [[ -s "$work/acked-update-$c" ]] || continue
    stored="$(sed -n "s/^D C${c}P1 //p" "$work/state")"
    acked="$(cat "$work/acked-update-$c")"
    attempted="$(cat "$work/attempted-update-$c")"
    [[ -n "$stored" && "$stored" -ge "$acked" && "$stored" -le "$attempted" ]] ||
      fail "C${c}P1 holds update v$stored, answered v$acked, attempted v$attempted"
  done
  ! grep -q "^B " "$work/state" || fail "a calling search space exists without its members: $(grep "^B " "$work/state")"
}

start_zebd
for c in $(seq "$clients"); do client "$c" & done
for round in $(seq "$rounds"); do
  sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.2f", 0.3 + (r % 50) / 100 }')"
  kill -9 "$zebd_pid"
  wait "$zebd_pid" 2>/dev/null || true
  zebd_pid=""
  rm -f "$work/port"
  check
  start_zebd
done
touch "$work/stop"
wait $(jobs -p | grep -v "^$zebd_pid$") 2>/dev/null || true
kill -9 "$zebd_pid"; wait "$zebd_pid" 2>/dev/null || true; zebd_pid=""
check
[[ -s "$work/acked-partitions" ]] || fail "no write was ever answered"
echo "crash_safety: $rounds kills, $(wc -l <"$work/acked-partitions") answered partition writes and" \
  "$(cat "$work/acked-css" 2>/dev/null | wc -l) calling search spaces, all present"
