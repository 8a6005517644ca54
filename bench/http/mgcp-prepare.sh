#!/usr/bin/env bash
# Prepare script of the MGCP benchmark (bench/http/run.sh -p): creates the gateway the getMGCP
# envelope reads, bench-gw.example, with MGCP_UNITS units (default 2) of MGCP_SUBUNITS subunits
# each (default 2) and MGCP_ENDPOINTS analog endpoint devices (one port each, default 2) on every
# subunit: eight endpoint devices by default.
#
#   bash bench/http/run.sh -c 32 -p bench/http/mgcp-prepare.sh getMGCP=bench/http/mgcp/getMGCP.xml
#   MGCP_UNITS=4 MGCP_SUBUNITS=4 MGCP_ENDPOINTS=24 bash bench/http/run.sh ...   # 384 endpoints
#
# Needs curl.
set -euo pipefail

: "${ZEBD_PORT:?}"

# POSTs one request element; fails unless zebd answers with a response (not a fault).
call() {
  local answer
  answer="$(curl -s -H 'Content-Type: text/xml' --data-binary \
    "<Envelope><Body>$1</Body></Envelope>" "http://127.0.0.1:$ZEBD_PORT/")"
  if [[ "$answer" != *"Response "* ]]; then
    echo "mgcp-prepare: refused: $1" >&2
    echo "$answer" >&2
    return 1
  fi
}

port='<port portNumber="1"><callerIdEnable>true</callerIdEnable><callingPartySelection>Originator</callingPartySelection><digitSending>DTMF</digitSending><expectedDigits>4</expectedDigits><finalDigits significant="true">3</finalDigits><presentationBit>Allowed</presentationBit><silenceSuppressionThreshold>Low</silenceSuppressionThreshold><smdiPortNumber>1</smdiPortNumber><startDialProtocol>Wink</startDialProtocol><timers><timer>1</timer></timers><trunk>Loop Start</trunk><trunkDirection>Bothways</trunkDirection><trunkLevel>0dB</trunkLevel><trunkPadRx>NoPadding</trunkPadRx><trunkPadTx>NoPadding</trunkPadTx></port>'

endpoint() {
  echo "<endpoint index=\"$1\"><name>BENCH-EP-$2</name><product>MGCP Station</product><model/><class/><protocol>Analog Access</protocol><protocolSide>Network</protocolSide><devicePoolName>Default</devicePoolName><country>Germany</country><maxPorts>1</maxPorts><ports>$port</ports><trunkSelectionOrder>Top Down</trunkSelectionOrder></endpoint>"
}

subunit() {
  local e endpoints=""
  for ((e = 0; e < ${MGCP_ENDPOINTS:-2}; e++)); do endpoints+="$(endpoint "$e" "$2-$e")"; done
  echo "<subunit index=\"$1\"><product>Two-Port FXS</product><endpoints>$endpoints</endpoints></subunit>"
}

# The gateway with its units first, then each subunit with its endpoints (one request each keeps
# every body under the size limit).
units=""
for ((u = 0; u < ${MGCP_UNITS:-2}; u++)); do
  units+="<unit index=\"$u\"><product>Voice Network Module</product></unit>"
done
call "<addMGCP><newMGCP><domainName>bench-gw.example</domainName><description>Benchmark gateway</description><product>Branch Gateway 2</product><model/><dialcoreGroupName>Default</dialcoreGroupName><units>$units</units><scratch/><vendorConfig/><versionStamp/><loadInformation>BG2.1</loadInformation></newMGCP></addMGCP>"
for ((u = 0; u < ${MGCP_UNITS:-2}; u++)); do
  for ((s = 0; s < ${MGCP_SUBUNITS:-2}; s++)); do
    call "<addMGCPSubunit><domainName>bench-gw.example</domainName><unit index=\"$u\"/>$(subunit "$s" "$u-$s")</addMGCPSubunit>"
  done
done
