#!/usr/bin/env bash
# A throw-away directory server for the tests: slapd configured through cn=config in a directory
# of its own, on a free loopback port, with the project's schema (ldap/zeb-schema.ldif) and the
# argon2 password module loaded, one database dc=zeb,dc=test holding ou=Users, and a manager
# (cn=manager,dc=zeb,dc=test) that may write anything under dc=zeb,dc=test.
#
#   tests/ldap/slapd.sh start DIR   creates and starts the server in DIR (which must not exist or
#                                   be empty); prints its URL. DIR then holds url, base,
#                                   manager-dn and manager.pw (the manager's password, mode 0600)
#   tests/ldap/slapd.sh halt DIR    stops the server and keeps its data (an outage)
#   tests/ldap/slapd.sh resume DIR  starts it again on the same port
#   tests/ldap/slapd.sh freeze DIR  stops it answering: connections are taken, nothing is read
#   tests/ldap/slapd.sh thaw DIR    lets it answer again
#   tests/ldap/slapd.sh stop DIR    stops it and removes DIR
#
# Needs Debian's slapd and ldap-utils. Runs as the calling user (root in CI).
set -euo pipefail

usage() { sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
[[ $# -eq 2 ]] || usage
action="$1"
dir="$(realpath -m "$2")"
here="$(cd "$(dirname "$0")/../.." && pwd)"
suffix="dc=zeb,dc=test"
manager="cn=manager,$suffix"

[[ -x /usr/sbin/slapd ]] || { echo "slapd.sh: no slapd (apt-get install slapd ldap-utils)" >&2; exit 1; }

# A loopback port nothing listens on now.
free_port() {
  local port
  for _ in $(seq 100); do
    port=$((20000 + RANDOM % 12000))  # below the ephemeral range (32768 on)
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return 0; }
  done
  echo "slapd.sh: no free port found" >&2
  return 1
}

# Starts slapd on the URL in $dir/url and waits until it answers.
run() {
  local url
  url="$(cat "$dir/url")"
  /usr/sbin/slapd -F "$dir/slapd.d" -h "$url" 2>>"$dir/slapd.log" || { cat "$dir/slapd.log" >&2; exit 1; }
  for _ in $(seq 100); do
    ldapsearch -x -LLL -H "$url" -b "" -s base 1.1 >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "slapd.sh: slapd did not answer on $url" >&2
  exit 1
}

halt() {
  [[ -f "$dir/slapd.pid" ]] || return 0
  local pid
  pid="$(cat "$dir/slapd.pid")"
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -9 "$pid" 2>/dev/null || true
  rm -f "$dir/slapd.pid"
}

start() {
  mkdir -p "$dir"
  [[ -z "$(ls -A "$dir")" ]] || { echo "slapd.sh: $dir is not empty" >&2; exit 1; }
  chmod 700 "$dir"
  mkdir "$dir/slapd.d" "$dir/data"
  local password
  password="$(head -c 18 /dev/urandom | base64 | tr '+/' '-_')"
  (umask 077 && printf '%s' "$password" >"$dir/manager.pw")
  echo "ldap://127.0.0.1:$(free_port)" >"$dir/url"
  echo "ou=Users,$suffix" >"$dir/base"
  echo "$manager" >"$dir/manager-dn"
  cat >"$dir/config.ldif" <<LDIF
dn: cn=config
objectClass: olcGlobal
cn: config
olcPidFile: $dir/slapd.pid
olcLogLevel: none

dn: cn=module{0},cn=config
objectClass: olcModuleList
cn: module{0}
olcModulePath: /usr/lib/ldap
olcModuleLoad: back_mdb
olcModuleLoad: argon2

dn: cn=schema,cn=config
objectClass: olcSchemaConfig
cn: schema

include: file:///etc/ldap/schema/core.ldif
include: file:///etc/ldap/schema/cosine.ldif
include: file:///etc/ldap/schema/inetorgperson.ldif
include: file://$here/ldap/zeb-schema.ldif

dn: olcDatabase={-1}frontend,cn=config
objectClass: olcDatabaseConfig
objectClass: olcFrontendConfig
olcDatabase: {-1}frontend

dn: olcDatabase={0}config,cn=config
objectClass: olcDatabaseConfig
olcDatabase: {0}config
olcAccess: {0}to * by * none

dn: olcDatabase={1}mdb,cn=config
objectClass: olcDatabaseConfig
objectClass: olcMdbConfig
olcDatabase: {1}mdb
olcSuffix: $suffix
olcDbDirectory: $dir/data
olcDbMaxSize: 1073741824
olcDbNoSync: TRUE
olcDbIndex: objectClass eq
olcDbIndex: uid eq
olcDbIndex: givenName,sn eq,sub
olcDbIndex: telephoneNumber eq
olcLimits: dn.exact="$manager" size=unlimited time=unlimited
olcAccess: {0}to attrs=userPassword,zebPin by dn.exact="$manager" write by anonymous auth by * none
olcAccess: {1}to dn.subtree="$suffix" by dn.exact="$manager" write by * none
LDIF
  cat >"$dir/data.ldif" <<LDIF
dn: $suffix
objectClass: dcObject
objectClass: organization
dc: zeb
o: ZEB test

dn: ou=Users,$suffix
objectClass: organizationalUnit
ou: Users

dn: $manager
objectClass: organizationalRole
objectClass: simpleSecurityObject
cn: manager
userPassword: $(/usr/sbin/slappasswd -s "$password")
LDIF
  slapadd -n 0 -F "$dir/slapd.d" -l "$dir/config.ldif" >"$dir/slapadd.log" 2>&1 || { cat "$dir/slapadd.log" >&2; exit 1; }
  slapadd -n 1 -F "$dir/slapd.d" -l "$dir/data.ldif" >>"$dir/slapadd.log" 2>&1 || { cat "$dir/slapadd.log" >&2; exit 1; }
  rm "$dir/data.ldif"
  run
  cat "$dir/url"
}

case "$action" in
  start) start ;;
  halt) halt ;;
  resume) run ;;
  freeze) kill -STOP "$(cat "$dir/slapd.pid")" ;;
  thaw) kill -CONT "$(cat "$dir/slapd.pid")" ;;
  stop)
    halt
    rm -rf "$dir"
    ;;
  *) usage ;;
esac
