#!/usr/bin/env bash
# Service documents benchmark: requests per second of GET of the WSDL from zebd beside nginx
# serving the same bytes as a static file, in the same run, with wrk over kept-alive
# connections; then the sizes of the WSDL and the schema, and the time zeep takes from a cold
# start (a fresh Python process) until its client is ready.
#
# Usage: bench/http/documents.sh [-b BUILD_DIR] [-d SECONDS] [-c CONNECTIONS] [-t THREADS] [-n STARTS]
#
# Needs wrk, nginx (Debian nginx-light) and Debian's python3-zeep.
set -euo pipefail

build_dir=./build
duration=10
connections=32
threads=2
starts=5

while getopts "b:d:c:t:n:h" opt; do
  case "$opt" in
    b) build_dir="$OPTARG" ;;
    d) duration="$OPTARG" ;;
    c) connections="$OPTARG" ;;
    t) threads="$OPTARG" ;;
    n) starts="$OPTARG" ;;
    *) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
zebd="$build_dir/zebd"
[[ -x "$zebd" ]] || { echo "documents.sh: no zebd at '$zebd' (build first, or pass -b)" >&2; exit 2; }
command -v wrk >/dev/null || { echo "documents.sh: wrk is not installed (apt-get install wrk)" >&2; exit 2; }
nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"
[[ -x "$nginx_bin" ]] || { echo "documents.sh: nginx is not installed (apt-get install nginx-light)" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-bench-XXXXXX")"
zebd_pid=""
nginx_pid=""
cleanup() {
  [[ -n "$zebd_pid" ]] && kill "$zebd_pid" 2>/dev/null && wait "$zebd_pid" 2>/dev/null
  [[ -n "$nginx_pid" ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$zebd" --listen 127.0.0.1:0 --trace-dir "$work/trace" --db "$work/zeb.db" >"$work/zebd.out" 2>"$work/zebd.err" &
zebd_pid=$!
for _ in $(seq 100); do
  grep -q "^zebd listening on " "$work/zebd.out" 2>/dev/null && break
  sleep 0.1
done
zebd_port="$(sed -n 's/^zebd listening on .*:\([0-9]*\)$/\1/p' "$work/zebd.out")"
[[ -n "$zebd_port" ]] || { echo "documents.sh: zebd did not start:" >&2; cat "$work/zebd.err" >&2; exit 1; }
wsdl_url="http://127.0.0.1:$zebd_port/QMSApi/ZEB/V1/zebsoap.wsdl"

# nginx serves the very bytes zebd answers with (wrk names the same host in both).
mkdir -p "$work/nginx/www" "$work/nginx/logs"
curl -sf -o "$work/nginx/www/zebsoap.wsdl" "$wsdl_url"
curl -sf -o "$work/zebsoap.xsd" "http://127.0.0.1:$zebd_port/QMSApi/ZEB/V1/zebsoap.xsd"
nginx_port=""
for _ in $(seq 50); do
  port=$((20000 + RANDOM % 12000))  # below the ephemeral range (32768 on)
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { nginx_port="$port"; break; }
done
user_line=""
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
  sendfile on;
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
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$nginx_port") 2>/dev/null && break
  sleep 0.1
done

measure() {
  local out
  out="$(wrk -t"$threads" -c"$connections" -d"${duration}s" "$1")"
  echo "$out" | grep -E "Non-2xx|Socket errors" >&2 || true
  echo "$out" | sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p'
}
echo "GET of the WSDL: wrk $connections connections, $threads threads, $duration s, zebd then nginx" >&2
zebd_rps="$(measure "$wsdl_url")"
nginx_rps="$(measure "http://127.0.0.1:$nginx_port/zebsoap.wsdl")"

# zeep from a fresh process: the whole start (interpreter, import, client) and the client alone.
echo "zeep: $starts cold starts" >&2
for _ in $(seq "$starts"); do
  /usr/bin/python3 - "$wsdl_url" <<'EOF'
import sys, time
start = time.perf_counter()
import zeep
imported = time.perf_counter()
zeep.Client(sys.argv[1])
ready = time.perf_counter()
print("%.3f %.3f" % (ready - start, ready - imported))
EOF
done >"$work/zeep"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf '\n%-34s %12s\n' "WSDL bytes" "$(wc -c <"$work/nginx/www/zebsoap.wsdl")"
printf '%-34s %12s\n' "schema bytes" "$(wc -c <"$work/zebsoap.xsd")"
printf '%-34s %12s\n' "zebd GET WSDL requests/s" "$zebd_rps"
printf '%-34s %12s\n' "nginx static WSDL requests/s" "$nginx_rps"
printf '%-34s %12s\n' "zebd vs nginx" "$(awk -v a="$zebd_rps" -v b="$nginx_rps" 'BEGIN { printf "%.2f", a / b }')"
printf '%-34s %12s\n' "zeep import + Client(url), s" "$(cut -d' ' -f1 "$work/zeep" | median)"
printf '%-34s %12s\n' "zeep Client(url) alone, s" "$(cut -d' ' -f2 "$work/zeep" | median)"
