#!/usr/bin/python3
"""The Grafana dashboard names only metrics zebd exports.

Usage: dashboard_test.py ZEBD DASHBOARD_JSON

Starts zebd with an admin listener on a free loopback port in a scratch directory, reads the
metric names of its /metrics (a histogram's _bucket, _sum and _count series included), loads
the dashboard and checks that every panel has queries and that every metric a query names, and
every label it groups or matches by, is one zebd exports.
"""
import json
import re
import subprocess
import sys
import tempfile
import urllib.request

PROMQL_WORDS = {"sum", "by", "rate", "histogram_quantile", "label_replace", "and", "on", "le"}


def exported(zebd):
    with tempfile.TemporaryDirectory() as work:
        server = subprocess.Popen(
            [zebd, "--listen", "127.0.0.1:0", "--admin-listen", "0", "--db", work + "/zeb.db", "--trace-dir",
             work + "/trace"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            admin = server.stdout.readline().rsplit(":", 1)[1].strip()
            text = urllib.request.urlopen("http://127.0.0.1:%s/metrics" % admin, timeout=10).read().decode()
        finally:
            server.terminate()
            server.wait(timeout=20)
    names, labels = set(), set()
    for line in text.splitlines():
        match = re.match(r"# TYPE (\S+) (\S+)", line)
        if match:
            name, kind = match.groups()
            names.add(name)
            if kind == "histogram":
                names.update({name + "_bucket", name + "_sum", name + "_count"})
        elif line and not line.startswith("#"):
            labels.update(re.findall(r'([a-z_]+)="', line))
    return names, labels | {"instance"}


def main():
    names, labels = exported(sys.argv[1])
    with open(sys.argv[2]) as f:
        dashboard = json.load(f)
    problems, queries = [], 0
    for panel in dashboard["panels"]:
        if not panel.get("targets"):
            problems.append("panel %r has no query" % panel["title"])
        for target in panel.get("targets", []):
            expr = target["expr"]
            queries += 1
            for metric in re.findall(r"\b((?:zebd|process)_[a-z_]+)\b", expr):
                if metric not in names:
                    problems.append("%r: zebd exports no metric %s" % (panel["title"], metric))
            grouped = re.findall(r"(?:by|on) \(([^)]*)\)", expr) + [re.sub(r"[=!~].*", "", m) for m in
                                                                      re.findall(r"[{,]([a-z_]+[=!~]+)", expr)]
            for label in (l.strip() for group in grouped for l in group.split(",")):
                if label and label not in labels and label not in PROMQL_WORDS:
                    problems.append("%r: zebd exports no label %s" % (panel["title"], label))
    if queries == 0:
        problems.append("the dashboard has no query")
    for problem in problems:
        print("dashboard: " + problem)
    if not problems:
        print("dashboard: %d queries, every metric and label exported by zebd" % queries)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
