#!/usr/bin/env bash
# A throw-away PostgreSQL cluster for the tests: initdb in a directory of its own, a free
# loopback port, trust authentication, durability switched off for speed unless asked for.
#
#   tests/pg/cluster.sh start DIR [durable]
#                                   creates and starts the cluster in DIR (which must not exist
#                                   or be empty); prints the superuser's connection URI. With
#                                   "durable", commits are flushed to disk as by default (for
#                                   benchmarks that compare with the embedded database)
#   tests/pg/cluster.sh stop DIR    stops it and removes DIR
#   tests/pg/cluster.sh pause DIR   stops the server, keeping the cluster
#   tests/pg/cluster.sh resume DIR  starts it again on the same port
#   tests/pg/cluster.sh freeze DIR  stops every process of the server (SIGSTOP): connections are
#                                   taken, nothing is answered
#   tests/pg/cluster.sh thaw DIR    lets them go on (SIGCONT)
#   tests/pg/cluster.sh standby DIR URI
#                                   makes DIR a hot standby of the cluster URI names (a base
#                                   backup with -R, streaming from it), starts it on a port of its
#                                   own and prints its URI
#   tests/pg/cluster.sh promote DIR ends a standby's recovery: it becomes a primary
#
# The server refuses to run as root: under root it runs as the unprivileged user "postgres"
# (Debian's postgresql package makes it) or, failing that, a system user "zebpg" made here.
# Needs Debian's postgresql package (initdb and pg_ctl under /usr/lib/postgresql/*/bin).
set -euo pipefail

usage() { sed -n '2,25p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[[ $# -eq 2 || $# -eq 3 ]] || usage
action="$1"
dir="$2"
durable="${3:-}"

bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
[[ -x "$bindir/initdb" ]] || { echo "cluster.sh: no initdb (apt-get install postgresql)" >&2; exit 1; }

# Runs a command as the cluster's owner.
as_owner() {
  if [[ "$(id -u)" -ne 0 ]]; then
    "$@"
  else
    runuser -u "$owner" -- "$@"
  fi
}

owner="$(id -un)"
if [[ "$(id -u)" -eq 0 ]]; then
  owner=postgres
  if ! id -u "$owner" >/dev/null 2>&1; then
    owner=zebpg
    id -u "$owner" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$owner"
  fi
fi

# A loopback port nothing listens on now.
free_port() {
  local port
  for _ in $(seq 100); do
    port=$((20000 + RANDOM % 12000))  # below the ephemeral range (32768 on)
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return 0; }
  done
  echo "cluster.sh: no free port found" >&2
  return 1
}

start() {
  mkdir -p "$dir"
  [[ -z "$(ls -A "$dir")" ]] || { echo "cluster.sh: $dir is not empty" >&2; exit 1; }
  chmod 700 "$dir"
  [[ "$(id -u)" -ne 0 ]] || chown "$owner" "$dir"
  as_owner "$bindir/initdb" -D "$dir/data" -U zeb --auth=trust -E UTF8 --locale=C >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log" >&2; exit 1; }
  local port
  port="$(free_port)"
  cat >>"$dir/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir'
max_connections = 300
shared_buffers = 64MB
wal_level = replica
CONF
  if [[ "$durable" != durable ]]; then
    printf 'fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n' >>"$dir/data/postgresql.conf"
  fi
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null || {
    cat "$dir/server.log" >&2; exit 1; }
  echo "postgresql://zeb@127.0.0.1:$port/postgres"
}

standby() {
  local primary="$1"
  mkdir -p "$dir"
  [[ -z "$(ls -A "$dir")" ]] || { echo "cluster.sh: $dir is not empty" >&2; exit 1; }
  chmod 700 "$dir"
  [[ "$(id -u)" -ne 0 ]] || chown "$owner" "$dir"
  as_owner "$bindir/pg_basebackup" -D "$dir/data" -R -X stream -c fast -d "$primary" >"$dir/backup.log" 2>&1 || {
    cat "$dir/backup.log" >&2; exit 1; }
  local port
  port="$(free_port)"
  # The primary's settings came with the backup; the later lines win.
  printf "port = %s\nunix_socket_directories = '%s'\nhot_standby = on\n" "$port" "$dir" >>"$dir/data/postgresql.conf"
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null || {
    cat "$dir/server.log" >&2; exit 1; }
  echo "postgresql://zeb@127.0.0.1:$port/postgres"
}

stop() {
  [[ -d "$dir/data" ]] || { echo "cluster.sh: no cluster in $dir" >&2; exit 1; }
  as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  rm -rf "$dir"
}

case "$action" in
  start) start ;;
  standby) [[ -n "$durable" ]] || usage; standby "$durable" ;;
  promote) as_owner "$bindir/pg_ctl" -D "$dir/data" -w promote >/dev/null ;;
  stop) stop ;;
  pause) as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null ;;
  resume) as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start >/dev/null ;;
  freeze | thaw)
    postmaster="$(head -n 1 "$dir/data/postmaster.pid")"
    # The postmaster first, so that it starts no process that would escape.
    signal="$([[ $action == freeze ]] && echo STOP || echo CONT)"
    kill -"$signal" "$postmaster"
    # A child may end meanwhile (one that served a cancel request, say).
    for child in $(pgrep -P "$postmaster"); do kill -"$signal" "$child" 2>/dev/null || true; done
    ;;
  *) usage ;;
esac
