#!/usr/bin/env bash
# Prepare script of the phone benchmarks (bench/http/run.sh -p): creates the phone the getPhone
# envelope reads, BENCHPHONE, with two lines, two speed dials, one add-on module, two subscribed
# services and both calling search spaces, and the records it and the addPhone template refer to.
# PHONES (default 100) phones more are then loaded straight into the database with
# zeb_load_phones (ZEB_LOAD_PHONES, default build/bench/zeb_load_phones).
#
#   bash bench/http/run.sh -c 32 -p bench/http/phones-prepare.sh getPhone=bench/http/phones/getPhone.xml
#   PHONES=100000 bash bench/http/run.sh -c 32 -p bench/http/phones-prepare.sh getPhone=...
#
# Needs curl. Works on either back end (ZEBD_DB may be a PostgreSQL location).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
phones="${PHONES:-100}"
loader="${ZEB_LOAD_PHONES:-$here/../../build/bench/zeb_load_phones}"
: "${ZEBD_PORT:?}" "${ZEBD_DB:?}"

# POSTs one request element; fails unless zebd answers with a response (not a fault).
call() {
  local answer
  answer="$(curl -s -H 'Content-Type: text/xml' --data-binary \
    "<Envelope><Body>$1</Body></Envelope>" "http://127.0.0.1:$ZEBD_PORT/")"
  if [[ "$answer" != *"Response "* ]]; then
    echo "phones-prepare: refused: $1" >&2
    echo "$answer" >&2
    return 1
  fi
}

call '<addRoutePartition><p><name>Internal</name></p></addRoutePartition>'
call '<addCSS><c><name>Office</name><members><member index="1"><routePartitionName>Internal</routePartitionName></member></members></c></addCSS>'
call '<addCSS><c><name>Overflow</name><members/></c></addCSS>'
call '<addLine><newLine><pattern>1000</pattern><usage/><routePartitionName>Internal</routePartitionName><callPickupGroup/><callWaitingEnabled>On</callWaitingEnabled><cfaCSSClause/><mwiStatus/><shareLineAppearanceCSS/><useFullyQualCallingPartyNum>Default</useFullyQualCallingPartyNum></newLine></addLine>'
call '<addLine><newLine><pattern>1001</pattern><usage/><routePartitionName>Internal</routePartitionName><callPickupGroup/><callWaitingEnabled>On</callWaitingEnabled><cfaCSSClause/><mwiStatus/><shareLineAppearanceCSS/><useFullyQualCallingPartyNum>Default</useFullyQualCallingPartyNum></newLine></addLine>'
call '<addLocation><location><name>HQ</name><id>1</id><kbits>512</kbits></location></addLocation>'
call '<addDeviceProfile><p><name>Roaming</name><product/><model/><class/><protocol/><protocolSide/><lines><lineIdentifier><directoryNumber>1000</directoryNumber><routePartitionName>Internal</routePartitionName></lineIdentifier></lines></p></addDeviceProfile>'
call '<addPhone><newPhone><name>BENCHPHONE</name><description>Reception</description><product>Desk Phone 40</product><model/><class/><protocol>Station</protocol><protocolSide>User</protocolSide><callingSearchSpaceName>Office</callingSearchSpaceName><devicePoolName>Default</devicePoolName><locationName>HQ</locationName><automatedAlternateRoutingCSSName>Overflow</automatedAlternateRoutingCSSName><lines><line index="1"><label>Main</label><display>Reception</display><dirn><pattern>1000</pattern><usage>Device</usage><routePartitionName>Internal</routePartitionName></dirn><ringSetting>Ring</ringSetting></line><line index="2"><label>Second</label><display>Back</display><dirn><pattern>1001</pattern><usage>Device</usage><routePartitionName>Internal</routePartitionName></dirn></line></lines><phoneTemplateName>Standard Desk Phone 40</phoneTemplateName><speeddials><speeddial index="1"><dirn>2000</dirn><label>Boss</label></speeddial><speeddial index="2"><dirn>2001</dirn><label>Desk</label></speeddial></speeddials><addOnModules><addOnModule index="1"><loadInformation>AM.1-0</loadInformation><phoneTemplateId>{5EED0000-0000-0000-0008-000000000004}</phoneTemplateId></addOnModule></addOnModules><idleTimeout>30</idleTimeout><servicesURL>http://svc</servicesURL><services><service><name>Directory</name><url>http://d</url><voxbeamServiceName>Corporate Directory</voxbeamServiceName></service><service><name>Rooms</name><url>http://r</url><voxbeamServiceName>Conference Rooms</voxbeamServiceName></service></services><softkeyTemplateName>Standard Feature</softkeyTemplateName><defaultProfileName>Roaming</defaultProfileName><enableExtensionMobility>true</enableExtensionMobility></newPhone></addPhone>'

if (( phones > 0 )); then
  "$loader" "$ZEBD_DB" "$phones" LOAD
fi
echo "phones-prepare: BENCHPHONE and $phones more phones ready" >&2
