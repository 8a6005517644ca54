#!/usr/bin/env bash
# Installs the Debian packages zebd needs to build, run and be tested. whois brings mkpasswd and
# apache2-utils htpasswd: the tests make their password hashes with them. python3-zeep and
# python3-suds are SOAP toolkits the toolkit tests use against a running zebd, and so is PHP's
# SoapClient (php-cli, php-soap). python3-xmlschema brings the WSDL 1.1 and XML Schema schemas
# (and a validator) the served documents are checked against. slapd and
# ldap-utils run the tests' throw-away directory server (tests/ldap/slapd.sh); slapd is told not
# to set up a directory of its own. clang and its runtimes build the sanitizer pass of CI with the
# fuzz target.
set -euo pipefail
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
echo "slapd slapd/no_configuration boolean true" | $sudo debconf-set-selections
$sudo apt-get install -y --no-install-recommends \
  build-essential cmake pkg-config ca-certificates clang libclang-rt-dev \
  libboost-dev libssl-dev libcrypt-dev libxml2-dev libsqlite3-dev libpq-dev libldap-dev libargon2-dev \
  libgtest-dev googletest libbenchmark-dev \
  libsystemd-dev prometheus-cpp-dev systemd \
  curl openssl sqlite3 wrk eatmydata nginx-light postgresql \
  whois apache2-utils dpkg-dev man-db slapd ldap-utils \
  python3-zeep python3-suds python3-lxml python3-xmlschema php-cli php-soap
# The node soap client of the toolkit tests runs on the machine's node; Debian's when there is none.
if ! command -v npm >/dev/null; then
  $sudo apt-get install -y --no-install-recommends nodejs npm
fi
