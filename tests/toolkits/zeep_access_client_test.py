"""Refusals of access control through zeep: a method the user's role does not allow (HTTP 403)
and a call over the user's rate limit (HTTP 429) surface as zeep faults whose message says why.

Usage: zeep_access_client_test.py ZEBD_BINARY
"""

import os
import subprocess
import sys
import tempfile

import requests
import zeep
import zeep.exceptions
import zeep.transports

from zebd_server import Zebd


def auth_file(directory, users):
    path = os.path.join(directory, "users")
    with open(path, "w") as out:
        for user in users:
            hashed = subprocess.run(["openssl", "passwd", "-6", user + "-pw"], check=True, capture_output=True,
                                    text=True).stdout.strip()
            out.write("%s:%s\n" % (user, hashed))
    return path


def client(zebd, user):
    session = requests.Session()
    session.auth = requests.auth.HTTPBasicAuth(user, user + "-pw")
    return zeep.Client(zebd.wsdl, transport=zeep.transports.Transport(session=session))


def refusal(call):
    try:
        call()
    except zeep.exceptions.Fault as fault:
        return fault.code, fault.message
    return None


def main():
    failures = []
    with tempfile.TemporaryDirectory() as directory:
        users = auth_file(directory, ["mon", "prov"])
        groups = os.path.join(directory, "groups")
        with open(groups, "w") as out:
            out.write("read: mon\nwrite: prov\n")
        with Zebd(sys.argv[1], ["--auth-file", users, "--group-file", groups,
                                "--write-rate-limit", "0.01/s,burst=1"]) as zebd:
            mon, prov = client(zebd, "mon"), client(zebd, "prov")
            prov.service.addRoutePartition(newRoutePartition={"name": "Internal"})
            got = mon.service.getRoutePartition(partitionName="Internal")["return"]["routePartition"]
            if got.name != "Internal":
                failures.append("getRoutePartition as mon: %r" % got.name)
            expected = ("SOAP-ENV:Client", 'User "mon" may not call addRoutePartition: it needs the write role, '
                        "and the user has the read role.")
            found = refusal(lambda: mon.service.addRoutePartition(newRoutePartition={"name": "Spare"}))
            if found != expected:
                failures.append("403 through zeep: %r, expected %r" % (found, expected))
            found = refusal(lambda: prov.service.addRoutePartition(newRoutePartition={"name": "Spare"}))
            prefix = 'User "prov" is over its rate limit of 0.01/s,burst=1 for write and admin methods: retry after '
            if not found or found[0] != "SOAP-ENV:Client" or not found[1].startswith(prefix):
                failures.append("429 through zeep: %r" % (found,))
    for failure in failures:
        print("FAIL", failure)
    print("%d passed, %d failed" % (3 - len(failures), len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
