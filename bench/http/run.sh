#!/usr/bin/env bash
# HTTP load benchmark: requests per second of zebd beside nginx serving a static file of the
# same size, both on loopback, measured with wrk over kept-alive connections.
#
# Usage: bench/http/run.sh [-b BUILD_DIR] [-z ZEBD] [-d SECONDS] [-c CONNECTIONS] [-t THREADS]
#                          [-p PREPARE_SCRIPT] [NAME=ENVELOPE_FILE ...]
#
# Always measures the unknown-method request (<fooBar/>) and nginx; every NAME=FILE adds one
# more zebd measurement POSTing that envelope file. Builds nothing: ZEBD defaults to
# BUILD_DIR/zebd and BUILD_DIR to ./build. Needs wrk and nginx (Debian nginx-light).
# PREPARE_SCRIPT runs once zebd is up, before any measurement, with ZEBD_PORT, ZEBD_DB,
# ZEB_LOAD_PHONES (the loader of BUILD_DIR unless set) and
# BENCH_WORK (a scratch directory) in its environment: it creates the records the envelopes
# need (and may write the envelope files themselves).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir=./build
zebd=""
duration=10
connections=32
threads=2
prepare=""

usage() { sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }

while getopts "b:z:d:c:t:p:h" opt; do
  case "$opt" in
    b) build_dir="$OPTARG" ;;
    z) zebd="$OPTARG" ;;
    d) duration="$OPTARG" ;;
    c) connections="$OPTARG" ;;
    t) threads="$OPTARG" ;;
    p) prepare="$OPTARG" ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
zebd="${zebd:-$build_dir/zebd}"

if [[ -z "$prepare" ]]; then
  for arg in "$@"; do
    [[ "$arg" == *=* && -f "${arg#*=}" ]] || { echo "run.sh: '$arg' is not NAME=ENVELOPE_FILE" >&2; exit 2; }
  done
fi
[[ -x "$zebd" ]] || { echo "run.sh: no zebd at '$zebd' (build first, or pass -z/-b)" >&2; exit 2; }
command -v wrk >/dev/null || { echo "run.sh: wrk is not installed (apt-get install wrk)" >&2; exit 2; }
nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"
[[ -x "$nginx_bin" ]] || { echo "run.sh: nginx is not installed (apt-get install nginx-light)" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-bench-XXXXXX")"
zebd_pid=""
nginx_pid=""
cleanup() {
  [[ -n "$zebd_pid" ]] && kill "$zebd_pid" 2>/dev/null && wait "$zebd_pid" 2>/dev/null
  [[ -n "$nginx_pid" ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Waits until something accepts connections on the port (at most 10 s).
wait_for_port() {
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "run.sh: nothing listens on port $1" >&2
  return 1
}

# A port nothing listens on now.
free_port() {
  local port
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 12000))  # below the ephemeral range (32768 on)
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return 0; }
  done
  return 1
}

start_zebd() {
  "$zebd" --listen 127.0.0.1:0 --trace-dir "$work/trace" --db "$work/zeb.db" \
    >"$work/zebd.out" 2>"$work/zebd.err" &
  zebd_pid=$!
  for _ in $(seq 100); do
    grep -q "^zebd listening on " "$work/zebd.out" 2>/dev/null && break
    sleep 0.1
  done
  zebd_port="$(sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$work/zebd.out")"
  [[ -n "$zebd_port" ]] || { echo "run.sh: zebd did not start:" >&2; cat "$work/zebd.err" >&2; exit 1; }
}

# Prints the body size of zebd's answer to the envelope file $1.
response_body_size() {
  local size
  size="$(wc -c <"$1")"
  exec 3<>"/dev/tcp/127.0.0.1/$zebd_port"
  printf 'POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/xml\r\nContent-Length: %d\r\nConnection: close\r\n\r\n' \
    "$size" >&3
  cat "$1" >&3
  cat <&3 >"$work/response"
  exec 3<&-
  head -c 200 "$work/response" | grep -q '^HTTP/1.1 200 ' || { echo "run.sh: zebd did not answer 200" >&2; exit 1; }
  sed -n 's/^Content-Length: \([0-9]*\)\r$/\1/p' "$work/response" | head -n 1
}

start_nginx() {
  local body_size="$1"
  nginx_port="$(free_port)"
  mkdir -p "$work/nginx/www" "$work/nginx/logs"
  head -c "$body_size" /dev/zero | tr '\0' 'x' >"$work/nginx/www/static.xml"
  local user_line=""
  [[ "$(id -u)" == 0 ]] && user_line="user root;"
  cat >"$work/nginx/nginx.conf" <<EOF
$user_line
worker_processes $(nproc);
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  keepalive_requests 1000000;
  client_body_temp_path $work/nginx/client_body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  default_type text/xml;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/nginx/www;
  }
}
EOF
  "$nginx_bin" -p "$work/nginx" -e "$work/nginx/logs/error.log" -c "$work/nginx/nginx.conf" &
  nginx_pid=$!
  wait_for_port "$nginx_port"
}

# Runs wrk with the given extra arguments; prints requests per second. Non-2xx answers and
# socket errors are reported on stderr.
measure() {
  local out
  out="$(wrk -t"$threads" -c"$connections" -d"${duration}s" "$@")"
  echo "$out" | grep -E "Non-2xx|Socket errors" >&2 || true
  echo "$out" | sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p'
}

echo "unknown-method: <fooBar/>" >&2

start_zebd
if [[ -n "$prepare" ]]; then
  ZEBD_PORT="$zebd_port" ZEBD_DB="$work/zeb.db" BENCH_WORK="$work" \
    ZEB_LOAD_PHONES="${ZEB_LOAD_PHONES:-$build_dir/bench/zeb_load_phones}" bash "$prepare" || {
    echo "run.sh: $prepare failed" >&2; exit 1; }
fi
body_size="$(response_body_size "$here/unknown-method.xml")"
names=(unknown-method)
files=("$here/unknown-method.xml")
for arg in "$@"; do
  names+=("${arg%%=*}")
  files+=("${arg#*=}")
done

declare -A rps
for i in "${!names[@]}"; do
  echo "zebd ${names[$i]}: wrk ${connections} connections, ${threads} threads, ${duration} s" >&2
  rps[${names[$i]}]="$(measure -s "$here/post.lua" "http://127.0.0.1:$zebd_port/" -- "${files[$i]}")"
done
kill "$zebd_pid" && wait "$zebd_pid" || true
zebd_pid=""

start_nginx "$body_size"
echo "nginx: GET of a ${body_size}-byte static file" >&2
nginx_rps="$(measure "http://127.0.0.1:$nginx_port/static.xml")"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
printf '\n%-28s %12s %10s %12s\n' "request" "requests/s" "vs nginx" "vs unknown"
for name in "${names[@]}"; do
  printf '%-28s %12s %10s %12s\n' "zebd $name" "${rps[$name]}" "$(ratio "${rps[$name]}" "$nginx_rps")" \
    "$(ratio "${rps[$name]}" "${rps[unknown-method]}")"
done
printf '%-28s %12s %10s\n' "nginx static ${body_size} B" "$nginx_rps" "1.00"
