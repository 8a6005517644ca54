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
  for _ in $(seq 300); do
    grep -q "^zebd listening on " "$work/zebd.out" 2>/dev/null && break
    sleep 0.1
  done
  sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$work/zebd.out" >"$work/port.tmp"
  [[ -s "$work/port.tmp" ]] || fail "zebd did not start: $(cat "$work/zebd.err")"
  mv "$work/port.tmp" "$work/port"
}

# Posts one request element; prints the response body, or nothing when there was no answer.
call() {
  local port
  port="$(cat "$work/port" 2>/dev/null)" || return 0
  curl -s --max-time 5 -H 'Content-Type: text/xml' --data-binary @- "http://127.0.0.1:$port/" <<<"<Envelope><Body>$1</Body></Envelope>" || true
}

# One client: adds its partitions, updates their descriptions, adds calling search spaces with
# three members each. It logs what it attempted and what was acknowledged.
client() {
  local c="$1" n=0
  while [[ ! -e "$work/stop" ]]; do
    n=$((n + 1))
    local p="C${c}P${n}"
    if [[ "$(call "<addRoutePartition><p><name>$p</name></p></addRoutePartition>")" == *"<return>{"* ]]; then
      echo "$p" >>"$work/acked-partitions-$c"
    fi
    echo "$n" >"$work/attempted-update-$c.tmp" && mv "$work/attempted-update-$c.tmp" "$work/attempted-update-$c"
    if [[ "$(call "<updateRoutePartition><name>C${c}P1</name><description>v$n</description></updateRoutePartition>")" == *"<return>{"* ]]; then
      echo "$n" >"$work/acked-update-$c.tmp" && mv "$work/acked-update-$c.tmp" "$work/acked-update-$c"
    fi
    local members="" m
    for m in 1 2 3; do members+="<member index=\"$m\"><routePartitionName>C${c}P${m}</routePartitionName></member>"; done
    if [[ "$(call "<addCSS><s><name>C${c}S${n}</name><members>$members</members></s></addCSS>")" == *"<return>{"* ]]; then
      echo "C${c}S${n}" >>"$work/acked-css-$c"
    fi
  done
}

check() {
  local db="$work/zeb.db"
  [[ "$(sqlite3 "$db" 'PRAGMA integrity_check')" == "ok" ]] || fail "integrity check failed"
  sqlite3 "$db" "SELECT Name FROM RoutePartition" | sort >"$work/partitions"
  local c
  for c in $(seq "$clients"); do
    if [[ -s "$work/acked-partitions-$c" ]]; then
      sort "$work/acked-partitions-$c" | comm -23 - "$work/partitions" | grep . && fail "an answered partition is missing"
    fi
    if [[ -s "$work/acked-update-$c" ]]; then
      local stored acked attempted
      stored="$(sqlite3 "$db" "SELECT substr(Description, 2) FROM RoutePartition WHERE Name = 'C${c}P1'")"
      acked="$(cat "$work/acked-update-$c")"
      attempted="$(cat "$work/attempted-update-$c")"
      [[ -n "$stored" && "$stored" -ge "$acked" && "$stored" -le "$attempted" ]] ||
        fail "C${c}P1 holds update v$stored, answered v$acked, attempted v$attempted"
    fi
    if [[ -s "$work/acked-css-$c" ]]; then
      local name
      while read -r name; do
        [[ "$(sqlite3 "$db" "SELECT count(*) FROM CallingSearchSpace WHERE Name = '$name'")" == 1 ]] ||
          fail "answered calling search space $name is missing"
      done <"$work/acked-css-$c"
    fi
  done
  [[ -z "$(sqlite3 "$db" "SELECT Name FROM CallingSearchSpace c WHERE (SELECT count(*) FROM callingSearchSpaceMember m WHERE m.fkCallingSearchSpace = c.pkid) <> 3")" ]] ||
    fail "a calling search space exists without its members"
}

start_zebd
for c in $(seq "$clients"); do client "$c" & done
total=0
for round in $(seq "$rounds"); do
  sleep "$(awk -v r="$RANDOM" 'BEGIN { printf "%.2f", 0.8 + (r % 100) / 100 }')"
  kill -9 "$zebd_pid"
  wait "$zebd_pid" 2>/dev/null || true
  zebd_pid=""
  rm -f "$work/port"
  check
  total=$(cat "$work"/acked-partitions-* 2>/dev/null | wc -l)
  start_zebd
done
touch "$work/stop"
wait $(jobs -p | grep -v "^$zebd_pid$") 2>/dev/null || true
kill -9 "$zebd_pid"; wait "$zebd_pid" 2>/dev/null || true; zebd_pid=""
check
[[ "$total" -gt 0 ]] || fail "no write was ever answered"
echo "crash_safety: $rounds kills, $(cat "$work"/acked-partitions-* | wc -l) answered partition writes, all present"
