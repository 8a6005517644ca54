"""A request the served schema accepts is never refused for its form.

Generates, from the schema a running zebd serves, requests for every method: each simple type's
boundary values (the candidates below that the type admits), optional elements and attributes
present and absent, each branch of each choice. Every request is checked against the schema
first (a request the schema refuses is a fault of this generator), then sent; zebd may refuse it
for what the database holds (a record not found, a duplicate, a record in use), never with an
unexpected element (5005) or an invalid value (5003), except for the few checks listed in
DATABASE_CHECKS, which read the database.

Python and lxml rather than C++: the generator walks the schema as a tree (types, particles,
facets) and lets libxml2's validator decide which candidate values a simple type admits, which is
a few lines here and a schema model of its own in C++.

Usage: schema_requests_test.py ZEBD_BINARY
"""

import copy
import http.client
import os
import re
import sys

from lxml import etree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "toolkits"))
from zebd_server import Zebd  # noqa: E402

XSD = "http://www.w3.org/2001/XMLSchema"
ZEB = "http://www.tarvo.com/ZEB/1.0"
SOAP = "http://schemas.xmlsoap.org/soap/envelope/"
Q = "{%s}" % XSD

# 5003 refusals whose rule reads the database, by method and message: type table rows a product or
# protocol must name, a stored default profile, the directory a setting points at.
DATABASE_CHECKS = [
    (r"addPhone$", r"Unkown product type specified: "),
    (r"addMGCP", r"Unknown product type: "),
    (r"addMGCP", r"Invalid product type specified for <unit>: "),
    (r"addMGCP", r"Invalid Vic type specified for <subunit>: "),
    (r"(add|update)GatewayEndpoint$|addMGCP", r"The product type specified is not a Gateway\.$"),
    (r"(add|update)GatewayEndpoint$|addMGCP", r"Invalid Device Protocol for an Analog or Digital Gateway\.$"),
    (r"updatePhone$", r"Default Profile must be set before enableExtensionMobility\.$"),
    (r"updateServiceParameter$", r"The directory settings were not changed: "),
]
# Forms the schema does not exclude, each explained where the schema declares it: a line's dirn
# with neither its "uuid" nor its number (XML Schema 1.0 has no attribute-or-children), and a
# device profile request that stops where the server wants at least one more element (a branch
# per possible first element would mislead toolkits that pick a branch by the names given).
SCHEMA_LIMITS = [
    (r".", r"Unexpected element\. NULL element found, expecting <pattern>$"),
    (r"addDeviceProfile$", r"Unexpected element\. NULL element found\. Expecting more elements\.$"),
    (r"updateDeviceProfile$", r"Unexpected element\. Found NULL, expecting <newName>$"),
]

# Values a fresh database knows, offered (in every other pair of variants) to elements whose
# text names a record or a type table row, so that those requests get past the first look-up and
# their later elements are read too: (method pattern, element name, values).
HINTS = [
    (r"(add|update)Phone$", "product", ["Desk Phone 40"]),
    (r"add(VoiceMailPort|CTIRoutePoint|DeviceProfile)$", "product", ["Desk Phone 12"]),
    (r"(Phone|VoiceMailPort|CTIRoutePoint|DeviceProfile)$", "protocol", ["Station"]),
    (r"(Phone|VoiceMailPort|CTIRoutePoint|DeviceProfile)$", "protocolSide", ["User"]),
    (r".", "devicePoolName", ["Default"]),
    (r".", "phoneTemplateName", ["Standard Desk Phone 40"]),
    (r".", "softkeyTemplateName", ["Standard Feature"]),
    (r".", "ringSetting", ["Ring"]),
    (r".", "mwlPolicy", ["Use System Policy"]),
    (r".", "consecutiveRingSetting", ["Use System Default"]),
]

# Values offered to every simple type; each type gets those it admits, plus its own enumeration
# values and length bounds.
CANDIDATES = [
    "true", "false", "1", "0", "-1", "-2147483648", "2147483647", "4294967295",
    "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0",
    "", "x", "Zeb 9", "a&<b>\"'\u00e9",
]


def local(qname):
    return qname.split(":", 1)[-1] if qname else None


def is_builtin(qname):
    return qname is not None and qname.startswith("xsd:")


class Generator:
    def __init__(self, schema_text):
        self.root = etree.fromstring(schema_text)
        self.validator = etree.XMLSchema(self.root)
        self.globals = {}
        for child in self.root:
            if isinstance(child.tag, str) and child.get("name"):
                self.globals[(etree.QName(child).localname, child.get("name"))] = child
        self.values = self._simple_values()
        self.repeat = 2
        self.method = ""

    # --- simple values ---

    def _simple_types(self):
        """Every simple type an instance needs: (key, definition or built-in name)."""
        found = {}
        for node in self.root.iter(Q + "element", Q + "attribute", Q + "extension"):
            qname = node.get("type") or node.get("base")
            if qname and (is_builtin(qname) or ("simpleType", local(qname)) in self.globals):
                found[qname] = qname
            inline = node.find(Q + "simpleType")
            if inline is not None:
                found[id(inline)] = inline
        return found

    def _simple_values(self):
        """The candidates each simple type admits, decided by a probe schema with one element per
        type."""
        types = self._simple_types()
        probe = copy.deepcopy(self.root)
        keys = list(types)
        for n, key in enumerate(keys):
            element = etree.SubElement(probe, Q + "element", name="probe%d" % n)
            if isinstance(types[key], str):
                element.set("type", types[key])
            else:
                element.append(copy.deepcopy(types[key]))
        probe_schema = etree.XMLSchema(probe)
        values = {}
        for n, key in enumerate(keys):
            offered = CANDIDATES + self._own_candidates(types[key])
            admitted = []
            for value in offered:
                doc = etree.Element("{%s}probe%d" % (ZEB, n))
                doc.text = value
                if probe_schema.validate(doc) and value not in admitted:
                    admitted.append(value)
            if not admitted:
                raise SystemExit("no candidate value fits simple type %s" % key)
            values[key] = admitted
        return values

    def _own_candidates(self, definition):
        if isinstance(definition, str):
            definition = self.globals.get(("simpleType", local(definition)))
        if definition is None:
            return []
        own = [e.get("value") for e in definition.iter(Q + "enumeration")]
        for facet in ("minLength", "maxLength", "length"):
            for e in definition.iter(Q + facet):
                own.append("y" * int(e.get("value")))
        for facet in ("minInclusive", "maxInclusive"):
            own += [e.get("value") for e in definition.iter(Q + facet)]
        return own

    def value(self, node, variant):
        qname = node.get("type") or node.get("base")
        key = qname if qname else id(node.find(Q + "simpleType"))
        admitted = self.values[key]
        return admitted[(variant // 2) % len(admitted)]

    # --- structure ---

    def complex_type(self, node):
        qname = node.get("type")
        if qname and not is_builtin(qname):
            return self.globals.get(("complexType", local(qname)))
        return node.find(Q + "complexType")

    def fill(self, target, ctype, variant):
        """Adds ctype's attributes and content to target."""
        for child in ctype:
            tag = etree.QName(child).localname if isinstance(child.tag, str) else None
            if tag in ("sequence", "choice", "all", "group"):
                self.particle(target, child, variant)
            elif tag in ("attribute", "attributeGroup"):
                self.attribute(target, child, variant)
            elif tag == "simpleContent":
                extension = child[0] if child[0].tag == Q + "extension" else child.find(Q + "extension")
                target.text = self.value(extension, variant)
                for item in extension:
                    if isinstance(item.tag, str) and item.tag in (Q + "attribute", Q + "attributeGroup"):
                        self.attribute(target, item, variant)
            elif tag == "complexContent":
                extension = child.find(Q + "extension")
                self.fill(target, self.globals[("complexType", local(extension.get("base")))], variant)
                self.fill(target, extension, variant)

    def attribute(self, target, node, variant):
        if node.tag == Q + "attributeGroup":
            for item in self.globals[("attributeGroup", local(node.get("ref")))]:
                if isinstance(item.tag, str):
                    self.attribute(target, item, variant)
            return
        if node.get("use") == "required" or variant % 2 == 1:
            target.set(node.get("name"), self.value(node, variant))

    def occurrences(self, node, variant):
        low = int(node.get("minOccurs", "1"))
        high = node.get("maxOccurs", "1")
        high = self.repeat if high == "unbounded" else int(high)
        if variant % 2 == 0:
            return low
        return max(low, min(high, self.repeat))

    def particle(self, target, node, variant):
        tag = etree.QName(node).localname
        if tag == "group":
            node_ref = self.globals[("group", local(node.get("ref")))]
            inner = next(c for c in node_ref if isinstance(c.tag, str) and c.tag != Q + "annotation")
            for _ in range(self.occurrences(node, variant)):
                self.particle(target, inner, variant)
            return
        if tag == "any":
            return
        for _ in range(self.occurrences(node, variant)):
            if tag == "element":
                self.element(target, node, variant)
            elif tag in ("sequence", "all"):
                for child in node:
                    if isinstance(child.tag, str) and child.tag != Q + "annotation":
                        self.particle(target, child, variant)
            elif tag == "choice":
                branches = [c for c in node if isinstance(c.tag, str) and c.tag != Q + "annotation"]
                self.particle(target, branches[(variant // 2) % len(branches)], variant)

    def element(self, target, node, variant):
        if node.get("ref"):
            node = self.globals[("element", local(node.get("ref")))]
        child = etree.SubElement(target, node.get("name"))
        ctype = self.complex_type(node)
        if ctype is not None:
            self.fill(child, ctype, variant)
            return
        child.text = self.value(node, variant)
        hints = [values for pattern, name, values in HINTS
                 if name == child.tag and re.search(pattern, self.method)]
        if hints and (variant // 2) % 2 == 0:
            child.text = hints[0][(variant // 4) % len(hints[0])]

    def width(self, ctype, seen=None):
        """The largest number of choice branches or simple values under ctype: twice that many
        variants cover each branch and each value, with optional parts absent and present."""
        seen = seen if seen is not None else set()
        if id(ctype) in seen:
            return 1
        seen.add(id(ctype))
        widest = 1
        for node in ctype.iter(Q + "choice", Q + "element", Q + "attribute", Q + "extension", Q + "group"):
            if node.tag == Q + "choice":
                widest = max(widest, len([c for c in node if isinstance(c.tag, str)]))
            elif node.tag == Q + "group" and node.get("ref"):
                widest = max(widest, self.width(self.globals[("group", local(node.get("ref")))], seen))
            elif node.tag == Q + "extension" and ("complexType", local(node.get("base"))) in self.globals:
                widest = max(widest, self.width(self.globals[("complexType", local(node.get("base")))], seen))
            else:
                inner = self.complex_type(node) if node.tag == Q + "element" else None
                if inner is not None and inner is not ctype:
                    widest = max(widest, self.width(inner, seen))
                elif node.get("type") or node.get("base") or node.find(Q + "simpleType") is not None:
                    try:
                        widest = max(widest, len(self.values[node.get("type") or node.get("base") or
                                                             id(node.find(Q + "simpleType"))]))
                    except KeyError:
                        pass
        return widest

    def requests(self, method):
        self.method = method
        element = self.globals[("element", method)]
        ctype = self.complex_type(element)
        for variant in range(2 * self.width(ctype)):
            # Lists nested in lists grow fast: where twice each would pass the server's 40 KB
            # limit on a request, each list holds one item.
            for self.repeat in (2, 1):
                request = etree.Element("{%s}%s" % (ZEB, method), nsmap={"zeb": ZEB})
                self.fill(request, ctype, variant)
                if len(etree.tostring(request)) < 30000:
                    break
            yield variant, request


def methods_of(wsdl_text):
    wsdl = etree.fromstring(wsdl_text)
    return [op.get("name") for op in wsdl.iterfind("{http://schemas.xmlsoap.org/wsdl/}portType/"
                                                  "{http://schemas.xmlsoap.org/wsdl/}operation")]


def fault_of(body):
    """(code, message) of a detailed fault, or None for a response."""
    doc = etree.fromstring(body)
    error = doc.find(".//{%s}error" % ZEB)
    if error is None:
        if doc.find(".//{%s}Fault" % SOAP) is not None:
            return (None, etree.tostring(doc, encoding="unicode"))
        return None
    return (int(error.findtext("code")), error.findtext("message"))


def main():
    failures = []
    sent = 0
    with Zebd(sys.argv[1]) as zebd:
        connection = http.client.HTTPConnection("127.0.0.1", zebd.port, timeout=30)

        def get(path):
            connection.request("GET", path)
            response = connection.getresponse()
            return response.read()

        generator = Generator(get("/QMSApi/ZEB/V1/zebsoap.xsd"))
        for method in methods_of(get("/QMSApi/ZEB/V1/zebsoap.wsdl")):
            for variant, request in generator.requests(method):
                text = etree.tostring(request, encoding="unicode")
                if not generator.validator.validate(request):
                    failures.append("%s #%d: the generator made a request the schema refuses: %s\n  %s" %
                                    (method, variant, generator.validator.error_log.last_error, text))
                    continue
                envelope = ('<SOAP-ENV:Envelope xmlns:SOAP-ENV="%s"><SOAP-ENV:Body>%s</SOAP-ENV:Body>'
                            '</SOAP-ENV:Envelope>' % (SOAP, text))
                sent += 1
                try:
                    connection.request("POST", "/QMSApi/ZEB/V1/", envelope.encode("utf-8"),
                                       {"Content-Type": "text/xml; charset=utf-8"})
                    fault = fault_of(connection.getresponse().read())
                except (http.client.HTTPException, OSError) as error:
                    failures.append("%s #%d: no answer (%s)\n  %s" % (method, variant, error, text))
                    if zebd.process.poll() is not None:
                        break
                    connection.close()
                    continue
                if fault is None:
                    continue
                code, message = fault
                if code is None:
                    failures.append("%s #%d: a fault without detail: %s\n  %s" % (method, variant, message, text))
                elif code in (5003, 5005) and not any(re.match(m, method) and re.match(p, message.strip())
                                                      for m, p in DATABASE_CHECKS + SCHEMA_LIMITS):
                    failures.append("%s #%d: %d %s\n  %s" % (method, variant, code, message.strip(), text))
        connection.close()
        if failures:
            # What zebd said about it (a dropped connection is reported there).
            zebd.stderr.flush()
            with open(zebd.stderr.name) as log:
                print("zebd's stderr:\n" + log.read()[-4000:])
    for failure in failures:
        print(failure)
    print("%d requests from the schema, %d refused for their form" % (sent, len(failures)))
    print("%d passed, %d failed" % (sent - len(failures), len(failures)))
    return 1 if failures or sent == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
