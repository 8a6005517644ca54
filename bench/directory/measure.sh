#!/usr/bin/env bash
# Users on a directory server beside the embedded directory, in one run: a throw-away slapd
# (tests/ldap/slapd.sh) and two zebd, one on each directory.
#   - getUser per second (wrk, kept-alive connections), on both;
#   - addUser+removeUser pairs per second (each pair hashes a password and a PIN), on both;
#   - listUserByName returning 1,000 of USERS (default 20,000) directory-server users: mean time.
#
# Usage: bench/directory/measure.sh [-b BUILD_DIR] [-d SECONDS] [-c CONNECTIONS] [-u USERS]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build_dir=./build
duration=10
connections=8
users=20000
while getopts "b:d:c:u:h" opt; do
  case "$opt" in
    b) build_dir="$OPTARG" ;;
    d) duration="$OPTARG" ;;
    c) connections="$OPTARG" ;;
    u) users="$OPTARG" ;;
    *) sed -n '2,9p' "$0"; exit 2 ;;
  esac
done
zebd="$build_dir/zebd"
command -v wrk >/dev/null || { echo "measure.sh: wrk is not installed (apt-get install wrk)" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/zeb-dir-bench-XXXXXX")"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  bash "$root/tests/ldap/slapd.sh" stop "$work/slapd" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

url="$(bash "$root/tests/ldap/slapd.sh" start "$work/slapd")"
base="$(cat "$work/slapd/base")"
manager="$(cat "$work/slapd/manager-dn")"

# Starts zebd on a fresh database in $work/$1; sets port.
start_zebd() {
  mkdir -p "$work/$1"
  "$zebd" --listen 127.0.0.1:0 --db "$work/$1/zeb.db" --trace-dir "$work/$1/trace" >"$work/$1/out" 2>"$work/$1/err" &
  pids+=("$!")
  for _ in $(seq 100); do
    grep -q 'listening on' "$work/$1/out" 2>/dev/null && break
    sleep 0.1
  done
  port="$(sed -n 's/.*listening on .*:\([0-9]*\)$/\1/p' "$work/$1/out")"
}
start_zebd embedded
embedded_port="$port"
start_zebd server
server_port="$port"
"$zebd" directory --db "$work/server/zeb.db" --url "$url" --user-base "$base" --manager-dn "$manager" \
  --manager-password-file "$work/slapd/manager.pw" >/dev/null

envelope() { printf '<Envelope><Body>%s</Body></Envelope>' "$1"; }
envelope '<getUser><ldapRN>bench</ldapRN></getUser>' >"$work/getUser.xml"
for p in "$embedded_port" "$server_port"; do
  curl -s -H 'Content-Type: text/xml' --data "$(envelope '<addUser><u><firstname>Ben</firstname><lastname>Ch</lastname>
<ldapRN>bench</ldapRN><ldapDN/><email>bench@example.org</email><password>pw</password><pin>1234</pin>
<associatedDevices><device>SEP1</device><device>SEP2</device></associatedDevices></u></addUser>')" \
    "http://127.0.0.1:$p/" | grep -q '<return>true</return>' || { echo "measure.sh: addUser failed" >&2; exit 1; }
done

rate() {  # requests per second of wrk POSTing $2 to port $1
  wrk -t 2 -c "$connections" -d "${duration}s" -s "$root/bench/http/post.lua" "http://127.0.0.1:$1/" -- "$2" |
    awk '/Requests\/sec/ {print $2}'
}
echo "getUser per second: embedded $(rate "$embedded_port" "$work/getUser.xml"), directory server $(rate "$server_port" "$work/getUser.xml")"

pairs() {  # addUser+removeUser pairs per second on port $1, from $connections clients at once
  python3 - "$1" "$duration" "$connections" <<'PY'
import http.client, sys, threading, time
port, duration, clients = int(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3])
done = [0] * clients
def client(n):
    conn = http.client.HTTPConnection("127.0.0.1", port)
    def call(body):
        conn.request("POST", "/", "<Envelope><Body>" + body + "</Body></Envelope>", {"Content-Type": "text/xml"})
        text = conn.getresponse().read().decode()
        assert "<return>true</return>" in text, text
    end, i = time.time() + duration, 0
    while time.time() < end:
        rn = "pair-%d-%d" % (n, i)
        call("<addUser><u><firstname>P</firstname><lastname>Q</lastname><ldapRN>%s</ldapRN><ldapDN/><email/>"
             "<password>pw-%d</password><pin>%04d</pin></u></addUser>" % (rn, i, i % 10000))
        call("<removeUser><ldapRN>%s</ldapRN></removeUser>" % rn)
        i += 1
    done[n] = i
start = time.time()
threads = [threading.Thread(target=client, args=(n,)) for n in range(clients)]
for t in threads: t.start()
for t in threads: t.join()
print("%.1f" % (sum(done) / (time.time() - start)))
PY
}
echo "addUser+removeUser pairs per second: embedded $(pairs "$embedded_port"), directory server $(pairs "$server_port")"

# USERS entries straight into the directory (without secrets, which the list does not read);
# every 20th has the surname the list asks for.
python3 - "$users" "$base" >"$work/users.ldif" <<'PY'
import sys
users, base = int(sys.argv[1]), sys.argv[2]
for i in range(users):
    sn = "Match" if i % 20 == 0 else "Other%d" % (i % 7)
    print("dn: uid=u%05d,%s\nobjectClass: inetOrgPerson\nobjectClass: zebUser\nuid: u%05d\ncn: u%05d\n"
          "givenName: Given%d\nsn: %s\nzebDeviceName: SEP%05d\n" % (i, base, i, i, i, sn, i))
PY
ldapadd -x -H "$url" -D "$manager" -y "$work/slapd/manager.pw" -f "$work/users.ldif" >/dev/null
python3 - "$server_port" "$users" <<'PY'
import http.client, sys, time
port, users = int(sys.argv[1]), int(sys.argv[2])
conn = http.client.HTTPConnection("127.0.0.1", port)
body = "<Envelope><Body><listUserByName><firstname/><lastname>Match</lastname></listUserByName></Body></Envelope>"
times = []
for _ in range(21):
    start = time.perf_counter()
    conn.request("POST", "/", body, {"Content-Type": "text/xml"})
    text = conn.getresponse().read().decode()
    times.append(time.perf_counter() - start)
    assert text.count("<user>") == (users + 19) // 20, text[:500]
times = times[1:]  # the first warms the server's caches
print("listUserByName, %d of %d directory-server users: mean %.1f ms, best %.1f ms"
      % ((users + 19) // 20, users, 1000 * sum(times) / len(times), 1000 * min(times)))
PY
