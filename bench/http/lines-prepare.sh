#!/usr/bin/env bash
# Prepare script of bench/http/run.sh for the line envelopes in bench/http/lines/: makes the
# route partition "Bench" and the line 1000 in it, which lines/getLine.xml reads.
#
# With LINES_PAIRS=1 it then measures addLine+removeLine pairs against the same zebd with
# lines/pairs.lua (LINES_PAIRS_CONNECTIONS connections, default 8, for LINES_PAIRS_SECONDS,
# default 10), before run.sh measures the unknown-method rate, so that both come from one run:
#
#   LINES_PAIRS=1 bench/http/run.sh -c 8 -p bench/http/lines-prepare.sh
#   bench/http/run.sh -c 32 -p bench/http/lines-prepare.sh getLine=bench/http/lines/getLine.xml
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

post() {
  local reply
  reply="$(curl -s -H 'Content-Type: text/xml' --data-binary @- "http://127.0.0.1:$ZEBD_PORT/" <<<"<Envelope><Body>$1</Body></Envelope>")"
  if [[ "$reply" == *"SOAP-ENV:Fault"* ]]; then echo "lines-prepare.sh: refused: $reply" >&2; exit 1; fi
}

post '<addRoutePartition><p><name>Bench</name></p></addRoutePartition>'
post '<addLine><newLine><pattern>1000</pattern><description>Bench line</description><usage/>
  <routePartitionName>Bench</routePartitionName><callPickupGroup/><callWaitingEnabled>On</callWaitingEnabled>
  <cfaCSSClause/><mwiStatus/><shareLineAppearanceCSS/><useFullyQualCallingPartyNum>Default</useFullyQualCallingPartyNum>
  </newLine></addLine>'

if [[ "${LINES_PAIRS:-}" == 1 ]]; then
  connections="${LINES_PAIRS_CONNECTIONS:-8}"
  seconds="${LINES_PAIRS_SECONDS:-10}"
  echo "zebd addLine+removeLine pairs: wrk $connections connections, 2 threads, $seconds s" >&2
  wrk -t2 -c"$connections" -d"${seconds}s" -s "$here/lines/pairs.lua" "http://127.0.0.1:$ZEBD_PORT/" |
    grep -E "pairs/s|Requests/sec|Socket errors|Non-2xx" >&2
fi
