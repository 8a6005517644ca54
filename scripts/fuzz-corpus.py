#!/usr/bin/python3
"""Seeds fuzz/corpus with one request of every method, taken from what the end-to-end suite sends.

    scripts/fuzz-corpus.py [TEST_BINARY]      (default build/zeb_tests)

Runs the suite with its test directories kept, reads every trace file the zebd processes wrote,
and for each method of the method table (src/dispatch/CreateHandler.cc) writes the shortest
request that was answered with that method's response to fuzz/corpus/<method>.xml. A method the
suite never answered successfully gets its shortest request of any outcome, and is listed. The
files are plain request bodies, as a client POSTs them.
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def methods():
    with open(os.path.join(ROOT, "src", "dispatch", "CreateHandler.cc"), encoding="utf-8") as f:
        return re.findall(r'\{"([A-Za-z]+)"', f.read())


def records(trace_text):
    """(request, response) pairs of a trace file, with the line ends the client sent."""
    for record in trace_text.split("RequestTime: ")[1:]:
        match = re.search(r"RequestContents: \r\n(.*)\r\nResponseContents: \r\n(.*)\r\n$", record, re.S)
        if match:
            yield match.group(1).replace("\r\n", "\n"), match.group(2)


def method_of(request):
    body = re.search(r"<(?:[A-Za-z0-9_.-]+:)?Body[^>]*>\s*<(?:[A-Za-z0-9_.-]+:)?([A-Za-z]+)", request)
    return body.group(1) if body else None


def main():
    binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "zeb_tests"))
    scratch = tempfile.mkdtemp(prefix="zeb-corpus-")
    try:
        env = dict(os.environ, TMPDIR=scratch, ZEB_KEEP_TEST_DIRS="1")
        for variable in ("ZEB_TEST_DB", "ZEB_TEST_PG"):
            env.pop(variable, None)
        shards = 3
        runs = [subprocess.Popen([binary, "--gtest_brief=1"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                 env=dict(env, GTEST_TOTAL_SHARDS=str(shards), GTEST_SHARD_INDEX=str(i)))
                for i in range(shards)]
        for run in runs:
            run.wait()
        best, fallback = {}, {}
        for path in glob.glob(os.path.join(scratch, "**", "ZEBAPI-*.txt"), recursive=True):
            with open(path, encoding="utf-8", errors="replace", newline="") as f:
                for request, response in records(f.read()):
                    method = method_of(request)
                    if not method:
                        continue
                    table = best if "<zeb:" + method + "Response" in response else fallback
                    if method not in table or len(request) < len(table[method]):
                        table[method] = request
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    corpus = os.path.join(ROOT, "fuzz", "corpus")
    missing, failed_only = [], []
    for method in methods():
        request = best.get(method) or fallback.get(method)
        if request is None:
            missing.append(method)
            continue
        if method not in best:
            failed_only.append(method)
        with open(os.path.join(corpus, method + ".xml"), "w", encoding="utf-8") as f:
            f.write(request)
    print(f"{len(methods()) - len(missing)} of {len(methods())} methods written to fuzz/corpus")
    if failed_only:
        print("answered only with a fault in the suite: " + ", ".join(failed_only))
    if missing:
        print("never sent by the suite: " + ", ".join(missing))
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
