#!/usr/bin/env bash
# Installs the Debian packages zebd needs to build, run and be tested. whois brings mkpasswd and
# apache2-utils htpasswd: the tests make their password hashes with them. slapd and ldap-utils
# run the tests' throw-away directory server (tests/ldap/slapd.sh); slapd is told not to set up
# a directory of its own.
set -euo pipefail
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
echo "slapd slapd/no_configuration boolean true" | $sudo debconf-set-selections
$sudo apt-get install -y --no-install-recommends \
  build-essential cmake pkg-config ca-certificates \
  libboost-dev libssl-dev libcrypt-dev libxml2-dev libsqlite3-dev libpq-dev libldap-dev libargon2-dev \
  libgtest-dev googletest libbenchmark-dev \
  curl openssl sqlite3 wrk nginx-light postgresql \
  whois apache2-utils slapd ldap-utils
