"""Every method of the ZEB API through zeep, built from the WSDL a running zebd serves: each family's
records are added, read back with their typed fields, updated, listed and removed, and refused
requests surface as zeep faults with the code and message of their detail.

Usage: zeep_client_test.py ZEBD_BINARY
"""

import sys
from decimal import Decimal

import zeep
import zeep.exceptions

from zebd_server import Zebd

ZEB = "{http://www.tarvo.com/ZEB/1.0}"


def Types(value):
    if isinstance(value, (list, tuple)):
        return [Types(item) for item in value]
    return type(value).__name__


class Api:
    """Calls methods by name and remembers which were called."""

    def __init__(self, client):
        self.client = client
        self.called = set()
        self.failures = []

    def __call__(self, method, **kwargs):
        self.called.add(method)
        return getattr(self.client.service, method)(**kwargs)["return"]

    def check(self, actual, expected, what):
        """Values and their types must match (a number is no text, a boolean no number)."""
        if (actual, Types(actual)) != (expected, Types(expected)):
            self.failures.append("%s: %r, expected %r" % (what, actual, expected))

    def refused(self, method, code, message, **kwargs):
        """Calls a request that the server refuses; checks the fault's detail."""
        self.called.add(method)
        try:
            getattr(self.client.service, method)(**kwargs)
        except zeep.exceptions.Fault as fault:
            error = fault.detail.find(ZEB + "error")
            self.check(int(error.findtext("code")), code, method + " fault code")
            self.check(error.findtext("message").strip(), message, method + " fault message")
            self.check(fault.message.strip(), message, method + " faultstring")
            self.check(error.findtext("request"), method, method + " fault request")
            return
        self.failures.append(method + " was not refused")


def partitions(api):
    internal = api("addRoutePartition", newRoutePartition={"name": "Internal", "description": "Staff & guests"})
    spare = api("addRoutePartition", newRoutePartition={"name": "Spare"})
    api.refused("addRoutePartition", 3, 'A Route Partition named "Internal" already exists.',
                newRoutePartition={"name": "Internal"})
    rp = api("getRoutePartition", partitionName="Internal")["routePartition"]
    api.check((rp.uuid, rp.name, rp.description, rp.dialPlanWizardGenId),
              (internal, "Internal", "Staff & guests", 0), "getRoutePartition")
    api.check(api("updateRoutePartition", name="Spare", newName="Spare2", description="d"), spare,
              "updateRoutePartition")
    listed = api("listRoutePartitionByName", searchString="%")["routePartition"]
    api.check([p.name for p in listed], ["Internal", "Spare2"], "listRoutePartitionByName")

    members = {"member": [{"index": 2, "routePartition": {"uuid": spare}},
                          {"index": 1, "routePartitionName": "Internal"}]}
    css = api("addCSS", newCSS={"name": "Office", "description": "Desks", "members": members})
    got = api("getCSS", name="Office")["callingSearchSpace"]
    api.check([(m.index, m.routePartitionName) for m in got.members.member], [(2, "Spare2"), (1, "Internal")],
              "getCSS members")
    api.check(got.dialPlanWizardGenID, 0, "getCSS dialPlanWizardGenID")
    api("updateCSS", uuid=css, description="Front desks", members={"member": [members["member"][1]]})
    listed = api("listCSSByName", searchString="off%")["callingSearchSpace"]
    api.check([(c.name, c.description, len(c.members.member)) for c in listed], [("Office", "Front desks", 1)],
              "listCSSByName")
    api.refused("getCSS", 2, "The specified calling search space was not found.", name="Nope")
    return {"internal": internal, "spare": spare, "css": css}


def system(api):
    api("addRegion", region={"name": "West"})
    region = api("getRegion", name="West")["region"]
    entry = region.relatedRegions.relatedRegion[0]
    api.check((entry.name, entry.bandwidth), ("Default", "G.711"), "getRegion")
    api.check(api("updateRegionMatrix", uuid=entry.uuid, bandwidth="G.729"), entry.uuid, "updateRegionMatrix")

    api("addLocation", location={"name": "HQ", "id": "0", "kbits": 64})
    api("updateLocation", name="HQ", kbits=128)
    location = api("getLocation", name="HQ")["location"]
    api.check((location.name, location.kbits), ("HQ", 128), "getLocation")

    node = api("addDialcore", dialcore={
        "name": "Node2", "description": "second",
        "autoregistration": {"startDN": 1000, "endDN": 1999, "nextDN": 1000, "routePartitionName": "Internal",
                             "e164Mask": "+1"},
        "ports": {"analogAccessPort": 1, "digitalAccessPort": 2, "ethernetPhonePort": 3,
                  "mgcpPorts": {"listen": 4, "keepAlive": 5}},
        "processNodeName": "ZEBNODE1"})
    api("updateDialcore", name="Node2", description="updated")
    got = api("getDialcore", uuid=node)["dialcore"]
    api.check((got.description, got.ports.mgcpPorts.keepAlive, got.autoRegistration.endDN,
               got.autoRegistration.routePartition.name), ("updated", 5, 1999, "Internal"), "getDialcore")

    api("addDialcoreGroup", dialcoreGroup={"name": "Pair", "tftpDefault": False, "members": {"member": [
        {"priority": 1, "dialcoreName": "Node2"}, {"priority": 0, "dialcoreName": "ZEBNODE1"}]}})
    api("updateDialcoreGroup", name="Pair", newName="Pair2")
    group = api("getDialcoreGroup", name="Pair2")["dialcoreGroup"]
    api.check((group.tftpDefault, [(m.priority, m.dialcore.name) for m in group.members.member]),
              (False, [(1, "Node2"), (0, "ZEBNODE1")]), "getDialcoreGroup")

    api("addDevicePool", devicePool={
        "name": "Branch", "dateTimeSettingName": "Default", "dialcoreGroupName": "Pair2", "regionName": "West",
        "softkeyTemplateName": "Standard User", "networkLocale": "Germany", "userLocale": "German Germany",
        "networkHoldMOHAudioSourceId": 3, "userHoldMOHAudioSourceId": 4, "havenName": "Disable"})
    api("updateDevicePool", name="Branch", userHoldMOHAudioSourceId=7)
    pool = api("getDevicePool", name="Branch")["devicePool"]
    api.check((pool.region.name, pool.dialcoreGroup.name, pool.networkLocale, pool.userHoldMOHAudioSourceId,
               pool.havenInfo.userModifiable), ("West", "Pair2", "Germany", 7, False), "getDevicePool")


def gateways(api):
    port = {"portNumber": 1, "callerIdEnable": True, "callingPartySelection": "Originator", "digitSending": "DTMF",
            "expectedDigits": 4, "finalDigits": {"_value_1": 3, "significant": True}, "presentationBit": "Allowed",
            "silenceSuppressionThreshold": "Default", "smdiPortNumber": 7, "startDialProtocol": "Wink",
            "timers": {"timer": [1, 2, 3, 4, 5, 6]}, "trunk": "Loop Start", "trunkDirection": "Bothways",
            "trunkLevel": "0dB", "trunkPadRx": "NoPadding", "trunkPadTx": "NoPadding"}
    analog = {"product": "Analog Access 2", "model": "", "class": "", "protocol": "Analog Access",
              "protocolSide": "Network", "devicePoolName": "Default", "country": "Germany", "maxPorts": "2",
              "ports": {"port": [port]}, "trunkSelectionOrder": "Top Down"}
    gateway = api("addGatewayEndpoint", newGateway=dict(analog, name="GW-A", description="Lobby"))
    api("updateGatewayEndpoint", name="GW-A", description="Hall", analog={"trunkSelectionOrder": "Bottom Up"})
    device = api("getGatewayEndpoint", uuid=gateway)["device"]
    got = device.ports.port[0]
    api.check((device.description, device.trunkSelectionOrder, device.networkLocale), ("Hall", "Bottom Up", "Germany"),
              "getGatewayEndpoint")
    api.check((got.portNumber, got.finalDigits._value_1, got.finalDigits.significant, got.timers.timer,
               got.trunk.kind), (1, 3, True, [1, 2, 3, 4, 5, 6], "Loop Start"), "getGatewayEndpoint port")

    domain = {"domainName": "gw1.example"}
    api("addMGCP", newMGCP={"domainName": "gw1.example", "description": "Branch", "product": "Branch Gateway 2",
                            "model": "", "dialcoreGroupName": "Default", "versionStamp": "",
                            "loadInformation": "BG2.1"})
    api("addMGCPUnit", unit={"index": 0, "product": "Voice Network Module"}, **domain)
    api("addMGCPSubunit", unit={"index": 0}, subunit={"index": 1, "product": "Two-Port FXS"}, **domain)
    endpoint = dict(analog, name="EP-A", product="MGCP Station", maxPorts="1", index=2)
    api("addMGCPEndpoint", unit={"index": 0}, subunit={"index": 1}, endpoint=endpoint, **domain)
    api("updateMGCP", description="Branch office", **domain)
    mgcp = api("getMGCP", **domain)["mgcp"]
    unit = mgcp.units.unit[0]
    subunit = unit.subunits.subunit[0]
    point = subunit.endpoints.endpoint[0]
    api.check((mgcp.description, unit.index, unit.product, subunit.index, subunit.product, point.index,
               point.device.name, point.device.ports.port[0].expectedDigits),
              ("Branch office", 0, "Voice Network Module", 1, "Two-Port FXS", 2, "EP-A", 4), "getMGCP")
    api("removeMGCPEndpoint", unit={"index": 0}, subunit={"index": 1}, endpoint={"index": 2}, **domain)
    api("removeMGCPSubunit", unit={"index": 0}, subunit={"index": 1}, **domain)
    api("removeMGCPUnit", unit={"index": 0}, **domain)
    api("removeMGCP", **domain)
    api.refused("getMGCP", 2, "MGCP gateway device not found.", **domain)
    return gateway


def ports(api, numbers):
    head = {"model": "", "class": "", "protocol": "Station", "protocolSide": "User", "devicePoolName": "Default"}
    line = {"index": 1, "label": "Port", "display": "Voice", "dirn": {"uuid": numbers["line2"]}, "ringSetting": "Ring"}
    # The port's lines are a repeated choice of line and lineIdentifier, which zeep takes as _value_1.
    api("addVoiceMailPort", voiceMailPort=dict(head, name="VM1", product="Voice Mail Port", traceFlag=True,
                                               _value_1=[{"line": line}]))
    api("updateVoiceMailPort", name="VM1", description="Mailbox")
    port = api("getVoiceMailPort", name="VM1")["voiceMailPort"]
    api.check((port.description, port.traceFlag, port.line.index, port.line.dirn.uuid),
              ("Mailbox", True, 1, numbers["line2"]), "getVoiceMailPort")
    api("removeVoiceMailPort", name="VM1")

    # zeep leaves out an empty value given for one element of a choice (model or modelInfo here).
    api("addCTIRoutePoint", routePoint=dict(head, name="RP1", product="CTI Route Point", model="CTI Route Point", lines={"_value_1": [{"line": line}]}))
    api("updateCTIRoutePoint", name="RP1", description="Queue")
    point = api("getCTIRoutePoint", name="RP1")["routePoint"]
    api.check((point.description, point["class"], [l.index for l in point.lines.line]),
              ("Queue", "CTI Route Point", [1]), "getCTIRoutePoint")
    api("removeCTIRoutePoint", name="RP1")


def dial_plans(api):
    api("addDialPlan", dialPlan={"name": "NANP", "description": "North America"})
    api("updateDialPlan", name="NANP", description="NA")
    api.check(api("getDialPlan", name="NANP")["dialPlan"].description, "NA", "getDialPlan")
    tag = api("addDialPlanTag", dialPlanTag={"name": "AREA-CODE", "dialPlanName": "NANP", "operator": "==",
                                             "suppressFromRouteFilter": False})
    api("updateDialPlanTag", uuid=tag, suppressFromRouteFilter=True)
    got = api("getDialPlanTag", uuid=tag)["dialPlanTag"]
    api.check((got.name, got.operator, got.suppressFromRouteFilter), ("AREA-CODE", "==", True), "getDialPlanTag")

    api("addDDI", ddi={"name": "PreDot", "dialPlanName": "NANP", "members": {"member": [{"dialPlanTagName": "AREA-CODE"}]}})
    api("updateDDI", name="PreDot", newName="PreDot2")
    ddi = api("getDDI", name="PreDot2")["ddi"]
    api.check((ddi.clause, ddi.dialPlanName, ddi.digitAnalysisId), ("AREA-CODE", "NANP", 0), "getDDI")

    api("addRouteFilter", rfPtr={"name": "Local", "dialPlanName": "NANP", "members": {"member": [
        {"priority": 1, "dialPlanTagName": "AREA-CODE", "digits": "214", "operator": "=="}]}})
    api("updateRouteFilter", name="Local", newName="Metro")
    rf = api("getRouteFilter", name="Metro")["routeFilter"]
    api.check((rf.clause, rf.members.member[0].priority), ("(AREA-CODE == 214)", 1), "getRouteFilter")


def routing(api):
    api("addRouteGroup", routeGroup={"name": "Trunks", "members": {"member": [
        {"port": 0, "deviceSelectionOrder": 1, "dialPlanWizardGenId": "0", "deviceName": "GW-A"}]}})
    api("updateRouteGroup", name="Trunks", newName="Trunks2")
    group = api("getRouteGroup", name="Trunks2")["routeGroup"]
    api.check([(m.port, m.deviceSelectionOrder) for m in group.members.member], [(0, 1)], "getRouteGroup")
    api("addRouteList", routeList={"name": "RL1", "members": {"member": [
        {"routeGroupName": "Trunks2", "routeGroupSelectionOrder": Decimal(1),
         "useFullyQualifiedCallingPartyNumber": "Default"}]}})
    api("updateRouteList", name="RL1", description="Main")
    route_list = api("getRouteList", name="RL1")["routeList"]
    member = route_list.members.member[0]
    api.check((route_list.description, member.routeGroupName, member.routeGroupSelectionOrder),
              ("Main", "Trunks2", 1), "getRouteList")


def numbers(api, ids):
    forward = {"forwardToVoiceMail": True, "callingSearchSpace": {"uuid": ids["css"]}, "destination": "2000"}
    settings = {"usage": "Device", "routePartitionName": "Internal", "callPickupGroup": {},
                "callWaitingEnabled": "On", "cfaCSSClause": "", "mwiStatus": "", "shareLineAppearanceCSS": {},
                "useFullyQualCallingPartyNum": "Off"}
    line = api("addLine", newLine=dict(settings, pattern="1000", description="Reception", callForwardAll=forward))
    line2 = api("addLine", newLine=dict(settings, pattern="1001"))
    api("updateLine", pattern="1000", routePartitionName="Internal", routeFilterId="", description="Front desk")
    dn = api("getLine", uuid=line)["directoryNumber"]
    api.check((dn.pattern, dn.routePartition.uuid, dn.callForwardAll.forwardToVoiceMail, dn.callForwardAll.destination,
               dn.callWaitingEnabled), ("1000", ids["internal"], True, "2000", "On"), "getLine")

    routing_fields = {"usage": "Translation", "routePartitionName": "Internal", "blockEnable": False,
                      "calledPartyTransformationMask": "", "callingPartyTransformationMask": "",
                      "useCallingPartyPhoneMask": "Default", "dialPlan": {}, "dialPlanWizardGenId": "0",
                      "digitDiscardInstruction": {}, "messageWaiting": "Default", "networkLocation": "OffNet",
                      "patternUrgency": True, "prefixDigitsOut": "", "routeFilter": {}}
    trans = api("addTransPattern", newPattern=dict(routing_fields, pattern="9.@", callingSearchSpaceName="Office"))
    api("updateTransPattern", uuid=trans, description="Outside")
    got = api("getTransPattern", uuid=trans)["pattern"]
    api.check((got.description, got.patternUrgency, got.blockEnable, got.callingSearchSpaceName, got.dialPlanWizardGenId),
              ("Outside", True, False, "Office", 0), "getTransPattern")
    route = api("addRoutePattern", newPattern=dict(routing_fields, pattern="8.@", usage="Route",
                                                   destination={"routeListName": "RL1"}, withTag="tag"))
    api("updateRoutePattern", uuid=route, destination={"gatewayName": "GW-A"})
    got = api("getRoutePattern", uuid=route)["pattern"]
    api.check((got.uuid, got.destination.gatewayName, got.withTag), (route, "GW-A", "tag"), "getRoutePattern")

    park = api("addCallPark", callPark={"pattern": "700", "usage": "Call Park", "routePartitionName": "Internal",
                                        "dialcoreName": "ZEBNODE1"})
    api("updateCallPark", uuid=park, description="Lobby")
    got = api("getCallPark", uuid=park)["callPark"]
    api.check((got.uuid, got.routePartition.uuid), (park, ids["internal"]), "getCallPark")
    pickup = api("addCallPickupGroup", callPickup={"pattern": "*77", "usage": "Call Pickup Group"})
    api("updateCallPickupGroup", uuid=pickup, newPattern="*78")
    api.check(api("getCallPickupGroup", uuid=pickup)["callPickup"].pattern, "*78", "getCallPickupGroup")
    plans = api("listRoutePlanByType", usage="Device")["routePlan"]
    api.check([(p.directoryNumber, p.routePartitionName) for p in plans], [("1000", "Internal"), ("1001", "Internal")],
              "listRoutePlanByType")
    return {"line": line, "line2": line2, "trans": trans, "route": route, "park": park, "pickup": pickup}


def phones(api, numbers):
    phone = api("addPhone", newPhone={
        "name": "SEP001122334455", "description": "Desk", "product": "Desk Phone 40", "model": "", "class": "",
        "protocol": "Station", "protocolSide": "User", "callingSearchSpaceName": "Office", "devicePoolName": "Branch",
        "locationName": "HQ", "traceFlag": True,
        "lines": {"_value_1": [{"line": {"index": 1, "label": "Main", "display": "Reception",
                                         "dirn": {"uuid": numbers["line"]}, "ringSetting": "Ring"}}]},
        "phoneTemplateName": "Standard Desk Phone 40",
        "speeddials": {"speeddial": [{"index": 1, "dirn": "2000", "label": "Boss"}]},
        "idleTimeout": 30,
        "services": {"service": [{"name": "Directory", "url": "http://d", "voxbeamServiceName": "Corporate Directory"}]},
        "softkeyTemplateName": "Standard Feature"})
    api("updatePhone", name="SEP001122334455", description="Front desk", traceFlag=False)
    device = api("getPhone", phoneName="SEP001122334455")["device"]
    # A phone's references come as a repeated choice, in the order the server writes them.
    references = [(name, value) for item in device._value_1 for name, value in item.items() if value is not None]
    api.check(references, [("callingSearchSpaceName", "Office"), ("devicePoolName", "Branch"), ("locationName", "HQ")],
              "getPhone references")
    api.check((device.uuid, device.description, device.traceFlag, device.numberOfButtons, device.idleTimeout,
               [l.index for l in device.lines.line], device.speeddials.speeddial[0].label,
               device.services.service[0].name),
              (phone, "Front desk", False, 4, 30, [1], "Boss", "Directory"), "getPhone")
    listed = api("listPhoneByName", searchString="SEP%")["phone"]
    api.check([(p.name, p.product, p.model) for p in listed], [("SEP001122334455", "Desk Phone 40", "Desk Phone 40")],
              "listPhoneByName")
    api.check([p.uuid for p in api("listPhoneByDescription", searchString="front%")["phone"]], [phone],
              "listPhoneByDescription")
    api.check(api("getNumDevices", **{"class": "Phone"}), 1, "getNumDevices")

    api("addDeviceProfile", newProfile={"name": "Roaming", "product": "Desk Phone 12", "model": "", "class": "",
                                        "protocol": "", "protocolSide": "",
                                        "lines": {"_value_1": [{"line": {"index": 1, "label": "L", "display": "D",
                                                                         "dirnId": numbers["line2"]}}]}})
    api("updateDeviceProfile", name="Roaming", description="Hot desk")
    profile = api("getDeviceProfile", profileName="Roaming")["profile"]
    api.check((profile.description, profile.deviceProfile, [l.index for l in profile.lines.line]),
              ("Hot desk", "User Profile", [1]), "getDeviceProfile")
    api.check(api("doDeviceLogin", deviceName="SEP001122334455", loginDuration=60, profileName="Roaming",
                  userId="asmith"), "true", "doDeviceLogin")
    api.check(api("doDeviceLogout", deviceName="SEP001122334455"), "true", "doDeviceLogout")
    api.check(api("doDeviceReset", deviceName="SEP001122334455", isHardReset=True), "true", "doDeviceReset")
    generated = api("createAutogeneratedProfile", phoneName="SEP001122334455")
    api.refused("removeDeviceProfile", 2, "Cannot delete an auto-generated profile.", deviceId=generated)
    api("removeDeviceProfile", deviceName="Roaming")
    api.check(api("removePhone", deviceName="SEP001122334455"), phone, "removePhone")


def parameters(api):
    listed = api("listServiceParameters", nodeName="ZEBNODE1", serviceType="Call Processing")["param"]
    api.check("MaxCallDuration" in [p.name for p in listed], True, "listServiceParameters")
    parameter = api("getServiceParameter", name="MaxCallDuration", processNodeName="ZEBNODE1",
                    service="Call Processing")["serviceParameter"]
    api.check((parameter.value, parameter.valueType, parameter.primaryData), ("720", "Integer", False),
              "getServiceParameter")
    api("updateServiceParameter", uuid=parameter.uuid, newValue="900")
    api.check(api("getServiceParameter", uuid=parameter.uuid)["serviceParameter"].value, "900", "updateServiceParameter")


def users(api):
    api.check(api("addUser", newUser={"firstname": "Alice", "lastname": "Smith", "ldapRN": "asmith", "ldapDN": "",
                                      "email": "alice@example.com", "password": "pw", "pin": "1234",
                                      "telephoneNumber": "1000", "enableCTI": True,
                                      "associatedDevices": {"device": ["SEP1", "SEP2"]}}), "true", "addUser")
    api("updateUser", ldapRN="asmith", department="Sales")
    user = api("getUser", ldapRN="asmith")["user"]
    api.check((user.firstName, user.department, user.enableCTI, user.associatedDevices.device),
              ("Alice", "Sales", True, ["SEP1", "SEP2"]), "getUser")
    listed = api("listUserByName", firstname="al%", lastname="")["user"]
    api.check([(u.ldapRN, u.lastname) for u in listed], [("asmith", "Smith")], "listUserByName")
    api("removeUser", ldapRN="asmith")


def remove_everything(api, ids, numbers, gateway):
    for method, kwargs in [
            ("removeRoutePattern", {"uuid": numbers["route"]}), ("removeTransPattern", {"uuid": numbers["trans"]}),
            ("removeCallPark", {"uuid": numbers["park"]}), ("removeCallPickupGroup", {"uuid": numbers["pickup"]}),
            ("removeRouteList", {"name": "RL1"}), ("removeRouteGroup", {"name": "Trunks2"}),
            ("removeRouteFilter", {"name": "Metro"}), ("removeDDI", {"name": "PreDot2"}),
            ("removeDialPlanTag", {"name": "AREA-CODE"}), ("removeDialPlan", {"name": "NANP"}),
            ("removeGatewayEndpoint", {"uuid": gateway}), ("removeLine", {"uuid": numbers["line"]}),
            ("removeLine", {"uuid": numbers["line2"]}), ("removeDevicePool", {"name": "Branch"}),
            ("removeDialcoreGroup", {"name": "Pair2"}), ("removeDialcore", {"name": "Node2"}),
            ("removeLocation", {"name": "HQ"}), ("removeRegion", {"name": "West"}), ("removeCSS", {"uuid": ids["css"]}),
            ("removeRoutePartition", {"partitionName": "Spare2"}),
            ("removeRoutePartition", {"partitionId": ids["internal"]})]:
        api(method, **kwargs)


def main():
    with Zebd(sys.argv[1]) as zebd:
        client = zeep.Client(zebd.wsdl)
        api = Api(client)
        ids = partitions(api)
        system(api)
        gateway = gateways(api)
        dial_plans(api)
        routing(api)
        numbered = numbers(api, ids)
        ports(api, numbered)
        phones(api, numbered)
        parameters(api)
        users(api)
        remove_everything(api, ids, numbered, gateway)
        operations = set(next(iter(client.wsdl.bindings.values()))._operations)
        if len(operations) != 120 or api.called != operations:
            api.failures.append("methods not called: %s" % sorted(operations - api.called))
    for failure in api.failures:
        print("FAILED " + failure)
    print("%d methods called, %d failures" % (len(api.called), len(api.failures)))
    return 1 if api.failures else 0


if __name__ == "__main__":
    sys.exit(main())
