#!/usr/bin/env bash
# Prepare script of the MGCP benchmark (bench/http/run.sh -p): creates the gateway the getMGCP
# envelope reads, bench-gw.example, with two units of two subunits each and two analog endpoint
# devices (one port each) on every subunit: eight endpoint devices in all.
#
#   bash bench/http/run.sh -c 32 -p bench/http/mgcp-prepare.sh getMGCP=bench/http/mgcp/getMGCP.xml
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
  echo "<subunit index=\"$1\"><product>Two-Port FXS</product><endpoints>$(endpoint 0 "$2-0")$(endpoint 1 "$2-1")</endpoints></subunit>"
}

unit() {
  echo "<unit index=\"$1\"><product>Voice Network Module</product><subunits>$(subunit 0 "$1-0")$(subunit 1 "$1-1")</subunits></unit>"
}

call "<addMGCP><newMGCP><domainName>bench-gw.example</domainName><description>Benchmark gateway</description><product>Branch Gateway 2</product><model/><dialcoreGroupName>Default</dialcoreGroupName><units>$(unit 0)$(unit 1)</units><scratch/><vendorConfig/><versionStamp/><loadInformation>BG2.1</loadInformation></newMGCP></addMGCP>"
