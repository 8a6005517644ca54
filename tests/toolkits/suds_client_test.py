"""One round per method family through suds, built from the WSDL a running zebd serves: a record is
added, read back with its typed fields, updated, listed where the family lists, and removed; a
refused request surfaces as a WebFault whose detail holds the code and message. suds does not
follow a restriction to its base type, so the booleans of a request (zeb:Boolean) are given as the
texts "true" and "false"; those of a response (xsd:boolean) come back as Python's booleans.

Usage: suds_client_test.py ZEBD_BINARY
"""

import sys

from suds import WebFault
from suds.client import Client

from zebd_server import Zebd

failures = []


def Types(value):
    """The type names of a value and its items; suds's text is a kind of str."""
    if isinstance(value, (list, tuple)):
        return [Types(item) for item in value]
    return "str" if isinstance(value, str) else type(value).__name__


def check(actual, expected, what):
    if (actual, Types(actual)) != (expected, Types(expected)):
        failures.append("%s: %r, expected %r" % (what, actual, expected))


def main():
    with Zebd(sys.argv[1]) as zebd:
        service = Client(zebd.wsdl).service

        def call(method, **kwargs):
            return getattr(getattr(service, method)(**kwargs), "return")

        # Partitions and calling search spaces.
        partition = call("addRoutePartition", newRoutePartition={"name": "Internal", "description": "Staff"})
        call("updateRoutePartition", name="Internal", description="All staff")
        got = call("getRoutePartition", partitionId=partition).routePartition
        check((got._uuid, got.description, got.dialPlanWizardGenId), (partition, "All staff", 0), "getRoutePartition")
        check([p.name for p in call("listRoutePartitionByName", searchString="int%").routePartition], ["Internal"],
              "listRoutePartitionByName")
        css = call("addCSS", newCSS={"name": "Office", "members": {"member": [
            {"_index": 1, "routePartitionName": "Internal"}]}})
        check(call("getCSS", uuid=css).callingSearchSpace.members.member[0]._index, 1, "getCSS")

        # Pools, regions, locations and nodes.
        call("addLocation", location={"name": "HQ", "id": "0", "kbits": 64})
        call("updateLocation", name="HQ", kbits=128)
        check(call("getLocation", name="HQ").location.kbits, 128, "getLocation")

        # Lines and patterns.
        line = call("addLine", newLine={
            "pattern": "1000", "usage": "Device", "routePartitionName": "Internal", "callPickupGroup": {},
            "callWaitingEnabled": "On", "cfaCSSClause": "", "mwiStatus": "", "shareLineAppearanceCSS": {},
            "useFullyQualCallingPartyNum": "Off",
            "callForwardAll": {"forwardToVoiceMail": "true", "callingSearchSpace": {"_uuid": css}, "destination": "2"}})
        call("updateLine", uuid=line, callWaitingEnabled="Off")
        dn = call("getLine", uuid=line).directoryNumber
        check((dn.callWaitingEnabled, dn.callForwardAll.forwardToVoiceMail), ("Off", True), "getLine")
        check([p.directoryNumber for p in call("listRoutePlanByType", usage="Device").routePlan], ["1000"],
              "listRoutePlanByType")

        # Route lists, groups, filters and dial plans.
        plan = call("addDialPlan", dialPlan={"name": "NANP"})
        call("updateDialPlan", uuid=plan, description="North America")
        check(call("getDialPlan", uuid=plan).dialPlan.description, "North America", "getDialPlan")

        # Phones, profiles, login and reset.
        phone = call("addPhone", newPhone={
            "name": "SEP1", "product": "Desk Phone 40", "model": "", "class": "", "protocol": "Station",
            "protocolSide": "User", "devicePoolName": "Default", "traceFlag": "true"})
        call("updatePhone", uuid=phone, description="Lobby")
        got = call("getPhone", phoneId=phone).device
        check((got.description, got.traceFlag, got.numberOfButtons), ("Lobby", True, 4), "getPhone")
        check([p.name for p in call("listPhoneByName", searchString="SEP%").phone], ["SEP1"], "listPhoneByName")
        check(call("doDeviceReset", deviceName="SEP1", isHardReset="false"), "true", "doDeviceReset")

        # Gateways, MGCP, voice-mail ports and route points.
        call("addMGCP", newMGCP={"domainName": "gw1", "product": "Branch Gateway 2", "model": "",
                                 "dialcoreGroupName": "Default", "versionStamp": "", "loadInformation": "BG"})
        call("addMGCPUnit", domainName="gw1", unit={"_index": 0, "product": "Voice Network Module"})
        call("updateMGCP", domainName="gw1", description="Branch")
        got = call("getMGCP", domainName="gw1").mgcp
        check((got.description, got.units.unit[0]._index), ("Branch", 0), "getMGCP")

        # Service parameters.
        parameter = call("getServiceParameter", name="MaxCallDuration", processNodeName="ZEBNODE1",
                         service="Call Processing").serviceParameter
        call("updateServiceParameter", uuid=parameter._uuid, newValue="900")
        listed = call("listServiceParameters", nodeName="ZEBNODE1", serviceType="Call Processing").param
        check([p.value for p in listed if p.name == "MaxCallDuration"], ["900"], "listServiceParameters")

        # Users.
        call("addUser", newUser={"firstname": "Alice", "lastname": "Smith", "ldapRN": "asmith", "ldapDN": "",
                                 "email": "a@example.com", "password": "pw", "pin": "1234",
                                 "enableCTI": "true"})
        call("updateUser", ldapRN="asmith", department="Sales")
        user = call("getUser", ldapRN="asmith").user
        check((user.department, user.enableCTI), ("Sales", True), "getUser")
        check([u.ldapRN for u in call("listUserByName", firstname="al%", lastname="").user], ["asmith"],
              "listUserByName")

        # List and count queries.
        check(call("getNumDevices", **{"class": "Phone"}), 1, "getNumDevices")
        check([c.name for c in call("listCSSByName", searchString="%").callingSearchSpace], ["Office"], "listCSSByName")

        # A refused request, and the removals.
        try:
            call("getCSS", name="Nope")
            failures.append("getCSS of an unknown name was not refused")
        except WebFault as fault:
            error = fault.fault.detail.error
            check((error.code, error.message.strip(), error.request),
                  ("2", "The specified calling search space was not found.", "getCSS"), "fault detail")
        for method, kwargs in [("removeUser", {"ldapRN": "asmith"}), ("removeMGCP", {"domainName": "gw1"}),
                               ("removePhone", {"deviceId": phone}), ("removeDialPlan", {"uuid": plan}),
                               ("removeLine", {"uuid": line}), ("removeLocation", {"name": "HQ"}),
                               ("removeCSS", {"uuid": css}), ("removeRoutePartition", {"partitionId": partition})]:
            call(method, **kwargs)
        check(call("listRoutePartitionByName", searchString="%"), "", "partitions left")
    for failure in failures:
        print("FAILED " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
