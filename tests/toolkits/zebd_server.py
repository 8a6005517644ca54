"""A zebd of its own for a toolkit test: started on a free loopback port with a fresh database in a
temporary directory, stopped and removed on close."""

import os
import shutil
import subprocess
import sys
import tempfile


class Zebd:
    def __init__(self, binary, args=()):
        self.dir = tempfile.mkdtemp(prefix="zebd-toolkit-")
        self.stderr = open(os.path.join(self.dir, "zebd.stderr"), "w")
        self.process = subprocess.Popen(
            [binary, "--listen", "127.0.0.1:0", "--db", os.path.join(self.dir, "zeb.db"),
             "--trace-dir", os.path.join(self.dir, "trace")] + list(args),
            stdout=subprocess.PIPE, stderr=self.stderr, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("zebd listening on "):
            self.close()
            sys.exit("zebd did not start: " + line)
        self.port = int(line.rsplit(":", 1)[1])
        self.wsdl = "http://127.0.0.1:%d/QMSApi/ZEB/V1/zebsoap.wsdl" % self.port

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self.stderr.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
