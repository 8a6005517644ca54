#!/usr/bin/env python3
"""One webhook receiver and one SSE client against a running zebd, for bench/http/events.sh.

Subscribes the receiver (zebd webhook add), connects to GET /events, runs the write load given
after "--" (a wrk command line) and prints its output, then makes CHANGES route partitions one at
a time and prints the median and 99th percentile of the time from each acknowledged change to
its arrival at the receiver and at the SSE client.
"""
import http.server, json, os, socket, statistics, subprocess, sys, threading, time, urllib.request

zebd, db, key, port, admin_port, changes = sys.argv[1:7]
load = sys.argv[sys.argv.index("--") + 1:]
arrived = {"webhook": {}, "sse": {}}


class Receiver(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keeps the connection, as a receiver under load would

    def do_POST(self):
        body = self.rfile.read(int(self.headers["Content-Length"]))
        arrived["webhook"].setdefault(json.loads(body)["id"], time.time())
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


def sse():
    connection = socket.create_connection(("127.0.0.1", int(admin_port)))
    connection.sendall(b"GET /events HTTP/1.1\r\nHost: zebd\r\n\r\n")
    pending = b""
    while True:
        data = connection.recv(65536)
        if not data:
            return
        pending += data
        while b"\n\n" in pending:
            frame, pending = pending.split(b"\n\n", 1)
            for line in frame.split(b"\n"):
                if line.startswith(b"id: "):
                    arrived["sse"].setdefault(int(line[4:]), time.time())


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Receiver)
threading.Thread(target=server.serve_forever, daemon=True).start()
with open(os.path.join(os.path.dirname(db), "hook.secret"), "w") as f:
    f.write("bench\n")
subprocess.run([zebd, "webhook", "add", "--db", db, "--secret-key", key, "--secret-file",
                os.path.join(os.path.dirname(db), "hook.secret"),
                "--url", f"http://127.0.0.1:{server.server_address[1]}/"], check=True, stdout=subprocess.DEVNULL)
threading.Thread(target=sse, daemon=True).start()
time.sleep(3)  # the deliverer reads the subscriptions every 2 s


def zebd_cpu():
    """CPU seconds zebd has used (user + system)."""
    with open(f"/proc/{os.environ['ZEBD_PID']}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


cpu, own = zebd_cpu(), time.process_time()
out = subprocess.run(load, check=True, capture_output=True, text=True).stdout
cpu, own = zebd_cpu() - cpu, time.process_time() - own
print(out)
pairs = int(out.split("pairs: ")[1].split()[0])
if pairs:
    print(f"zebd CPU per pair: {cpu * 1e6 / pairs:.1f} us; receivers' CPU per pair: {own * 1e6 / pairs:.1f} us")


def newest():
    return max([0] + list(arrived["sse"]) + list(arrived["webhook"]))


# Wait until the load's events have arrived, then time single changes.
deadline = time.time() + 120
while time.time() < deadline and (len(arrived["webhook"]) == 0 or max(arrived["webhook"]) < max(arrived["sse"] or [0])):
    time.sleep(0.1)
first = newest() + 1
acknowledged = {}
for i in range(int(changes)):
    request = (f"<Envelope><Body><addRoutePartition><p><name>Latency{i}</name></p></addRoutePartition>"
               f"</Body></Envelope>").encode()
    urllib.request.urlopen(urllib.request.Request(f"http://127.0.0.1:{port}/", request,
                                                  {"Content-Type": "text/xml"})).read()
    acknowledged[first + i] = time.time()
    time.sleep(0.02)
time.sleep(1)
for kind in ("webhook", "sse"):
    delays = sorted((arrived[kind][i] - t) * 1000 for i, t in acknowledged.items() if i in arrived[kind])
    if len(delays) < len(acknowledged):
        print(f"{kind}: {len(acknowledged) - len(delays)} of {len(acknowledged)} events did not arrive")
    if delays:
        print(f"{kind}: median {statistics.median(delays):.1f} ms, "
              f"p99 {delays[min(len(delays) - 1, int(len(delays) * 0.99))]:.1f} ms after the acknowledgement")
