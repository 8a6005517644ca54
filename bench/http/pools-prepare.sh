#!/usr/bin/env bash
# Prepare script for bench/http/run.sh: creates the device pool that pools/getDevicePool.xml
# reads. Its node group has three nodes (the seeded one and two more) and its region five related
# regions (the seeded one and four more added beside it).
#
#   bench/http/run.sh -b build -p bench/http/pools-prepare.sh getDevicePool=bench/http/pools/getDevicePool.xml
set -euo pipefail

: "${ZEBD_PORT:?run by bench/http/run.sh}"

# POSTs one request element; fails on a fault.
call() {
  local response
  response="$(curl -sS -H 'Content-Type: text/xml' --data-binary @- "http://127.0.0.1:$ZEBD_PORT/" <<XML
<SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/"><SOAP-ENV:Body>$1</SOAP-ENV:Body></SOAP-ENV:Envelope>
XML
)"
  if [[ "$response" == *"SOAP-ENV:Fault"* ]]; then
    echo "pools-prepare: refused: $1" >&2
    echo "$response" >&2
    exit 1
  fi
}

ports='<ports><analogAccessPort>2002</analogAccessPort><digitalAccessPort>2001</digitalAccessPort><ethernetPhonePort>2000</ethernetPhonePort><mgcpPorts><listen>2427</listen><keepAlive>2428</keepAlive></mgcpPorts></ports>'
for n in 2 3; do
  call "<addDialcore><dialcore><name>ZEBNODE$n</name><description>Bench node $n</description>$ports<processNodeName>ZEBNODE1</processNodeName></dialcore></addDialcore>"
done
call '<addDialcoreGroup><dialcoreGroup><name>Bench nodes</name><members><member priority="1"><dialcoreName>ZEBNODE1</dialcoreName></member><member priority="2"><dialcoreName>ZEBNODE2</dialcoreName></member><member priority="3"><dialcoreName>ZEBNODE3</dialcoreName></member></members></dialcoreGroup></addDialcoreGroup>'
for n in 1 2 3 4 5; do
  call "<addRegion><region><name>Bench region $n</name></region></addRegion>"
done
call '<addDevicePool><devicePool><name>Bench pool</name><dateTimeSettingName>Default</dateTimeSettingName><dialcoreGroupName>Bench nodes</dialcoreGroupName><regionName>Bench region 1</regionName><softkeyTemplateName>Standard User</softkeyTemplateName><networkLocale>United States</networkLocale><userLocale>English United States</userLocale><havenName>Disable</havenName></devicePool></addDevicePool>'
