"""Runs php_soap_client_test.php with Debian's PHP against a zebd of its own.

Usage: php_soap_client_test.py ZEBD_BINARY
"""

import os
import subprocess
import sys

from zebd_server import Zebd


def main():
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "php_soap_client_test.php")
    with Zebd(sys.argv[1]) as zebd:
        return subprocess.run(["php", "-n", "-d", "extension=soap", script, zebd.wsdl], timeout=100).returncode


if __name__ == "__main__":
    sys.exit(main())
