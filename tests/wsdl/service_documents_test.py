"""The WSDL and the schema a running zebd serves are documents every generator can read.

- Neither holds an xsd:group or an xsd:attributeGroup (some generators drop them silently).
- Each top-level name belongs to one schema component (some generators keep one name space for
  types, elements and groups).
- The WSDL is valid against the WSDL 1.1 schema and its SOAP binding schema, and the schema in
  it, like the served schema, against the XML Schema schema for schemas: the copies Debian's
  python3-xmlschema ships, validated with that package.

Usage: service_documents_test.py ZEBD_BINARY
"""

import collections
import os
import sys
import urllib.request

import xmlschema
from lxml import etree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "toolkits"))
from zebd_server import Zebd  # noqa: E402

XSD = "http://www.w3.org/2001/XMLSchema"
WSDL = "http://schemas.xmlsoap.org/wsdl/"
WSDL_SOAP = "http://schemas.xmlsoap.org/wsdl/soap/"
SCHEMAS = os.path.join(os.path.dirname(xmlschema.__file__), "schemas")


def check_names(schema, what, failures):
    """No groups; one component per top-level name."""
    for kind in ("group", "attributeGroup"):
        found = schema.findall(".//{%s}%s" % (XSD, kind))
        if found:
            failures.append("%s: %d xsd:%s" % (what, len(found), kind))
    owners = collections.defaultdict(list)
    for child in schema:
        if isinstance(child.tag, str) and child.get("name"):
            owners[child.get("name")].append(etree.QName(child).localname)
    for name, kinds in sorted(owners.items()):
        if len(kinds) > 1:
            failures.append("%s: %s names %s" % (what, name, " and ".join(kinds)))


def validate(validator, document, what, failures):
    errors = list(validator.iter_errors(document))
    for error in errors[:10]:
        failures.append("%s: %s at %s" % (what, error.reason, error.path))
    if not errors:
        print("%s: valid" % what)


def main():
    failures = []
    with Zebd(sys.argv[1]) as zebd:
        wsdl_bytes = urllib.request.urlopen(zebd.wsdl, timeout=30).read()
        xsd_bytes = urllib.request.urlopen(zebd.wsdl[:-len("wsdl")] + "xsd", timeout=30).read()
    print("served WSDL %d bytes, schema %d bytes" % (len(wsdl_bytes), len(xsd_bytes)))
    wsdl = etree.fromstring(wsdl_bytes)
    served = etree.fromstring(xsd_bytes)
    embedded = wsdl.find("{%s}types/{%s}schema" % (WSDL, XSD))
    check_names(served, "schema", failures)
    check_names(embedded, "WSDL schema", failures)
    if (etree.tostring(embedded, method="c14n", exclusive=True) !=
            etree.tostring(served, method="c14n", exclusive=True)):
        failures.append("the WSDL's schema is not the served schema")

    meta = xmlschema.XMLSchema10.meta_schema
    validate(meta, served, "schema against the schema for schemas", failures)
    validate(meta, embedded, "WSDL schema against the schema for schemas", failures)
    # The WSDL 1.1 schema validates its extension elements (the SOAP binding) laxly: with the
    # binding's schema loaded as well, they are checked too.
    wsdl_schema = xmlschema.XMLSchema10(os.path.join(SCHEMAS, "WSDL", "wsdl.xsd"))
    wsdl_schema.import_schema(WSDL_SOAP, os.path.join(SCHEMAS, "WSDL", "wsdl-soap.xsd"))
    wsdl_schema.build()
    validate(wsdl_schema, wsdl, "WSDL against the WSDL 1.1 schema", failures)
    soap = wsdl.findall(".//{%s}*" % WSDL_SOAP)
    if len(soap) < 4 * 120:
        failures.append("only %d SOAP binding elements" % len(soap))

    for failure in failures:
        print("FAILED " + failure)
    print("%d passed, %d failed" % (1 if not failures else 0, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
