#!/usr/bin/python3
"""Which tests run only code that other tests run too?

Runs every test of a --coverage build alone (the test process and every zebd it starts write
their counts under a private prefix, two tests at a time), records the lines of src/ each one
executed, then removes tests greedily, largest body first, while every line they executed is
still executed by a test that stays. What it prints is a list of places to look, not of tests to
delete: a test whose lines others run may still be the only one that checks a value, an order or a
timing (compare the first failing tests of scripts/mutation-test.py with the list).

    cmake -S . -B build-cov -DCMAKE_BUILD_TYPE=Debug -DZEB_BUILD_BENCH=OFF \\
          -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS=--coverage
    cmake --build build-cov --target zebd zeb_tests
    scripts/test-overlap.py build-cov            # ZEB_TEST_PG / ZEB_TEST_LDAP widen what runs

The lines of each test are kept in BUILD/overlap.pickle, so a second run only reports; delete it
after the tests or the code change.
"""
import collections
import glob
import os
import pickle
import queue
import re
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC = os.path.join(ROOT, "src") + "/"
LINE = re.compile(r'"count": (\d+), "line_number": (\d+)')
TEST_START = re.compile(r"^(TEST|TEST_F|TEST_P)\(\s*(\w+),\s*(\w+)\)")
LIBRARY_DIRS = ["zeb.dir", "zeb_server.dir", "zebd.dir"]
WORKERS = 2


def list_tests(binary):
    listing = subprocess.run([binary, "--gtest_list_tests"], capture_output=True, text=True, check=True).stdout
    tests, suite = [], None
    for line in listing.splitlines():
        if not line.startswith(" "):
            suite = line.split()[0]
        else:
            tests.append(suite + line.split()[0])
    return tests


def prepare_prefix(build, prefix):
    """gcov reads a .gcda beside its .gcno: give the prefix tree links to every .gcno."""
    for gcno in glob.glob(build + "/CMakeFiles/*/**/*.gcno", recursive=True):
        target = prefix + gcno
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if not os.path.lexists(target):
            os.symlink(gcno, target)


def lines_of_run(build, prefix):
    """The src/ lines executed since the prefix was last emptied. gcov writes each source file's
    object with its line counts before the file's name, so the text is split at the names."""
    gcdas = [f for d in LIBRARY_DIRS for f in glob.glob(f"{prefix}{build}/CMakeFiles/{d}/**/*.gcda", recursive=True)]
    lines = set()
    if not gcdas:
        return lines
    text = subprocess.run(["gcov", "--json-format", "--stdout"] + gcdas, capture_output=True, text=True,
                          cwd=prefix).stdout
    parts = text.split('"file": "')
    for k in range(1, len(parts)):
        name = parts[k][:parts[k].index('"')]
        if name.startswith(SRC):
            rel = name[len(SRC):]
            lines.update(f"{rel}:{line}" for count, line in LINE.findall(parts[k - 1]) if count != "0")
    return lines


def run_test(binary, build, prefix, test):
    for f in glob.glob(prefix + "/**/*.gcda", recursive=True):
        os.unlink(f)
    env = dict(os.environ, GCOV_PREFIX=prefix, GCOV_PREFIX_STRIP="0")
    result = subprocess.run([binary, "--gtest_filter=" + test], capture_output=True, text=True, timeout=900, env=env)
    status = "failed" if result.returncode else "skipped" if "[  SKIPPED ]" in result.stdout else "ok"
    return status, lines_of_run(build, prefix)


def collect(build, store):
    binary = os.path.join(build, "zeb_tests")
    results = pickle.load(open(store, "rb")) if os.path.exists(store) else {}
    todo = queue.Queue()
    for test in list_tests(binary):
        if test not in results:
            todo.put(test)
    lock = threading.Lock()

    def work(worker):
        prefix = os.path.join(build, f"overlap-{worker}")
        prepare_prefix(build, prefix)
        while True:
            try:
                test = todo.get_nowait()
            except queue.Empty:
                return
            started = time.monotonic()
            status, lines = run_test(binary, build, prefix, test)
            with lock:
                results[test] = (status, lines)
                print(f"{len(results)} {test}: {status}, {len(lines)} lines, {time.monotonic() - started:.1f} s",
                      flush=True)

    threads = [threading.Thread(target=work, args=(w,)) for w in range(WORKERS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    pickle.dump(results, open(store, "wb"))
    return results


def test_bodies():
    """(suite, name) -> (file, first line, non-blank lines) of each test's body and the comment above it."""
    bodies = {}
    for path in glob.glob(ROOT + "/tests/**/*.cc", recursive=True):
        lines = open(path, encoding="utf-8").read().split("\n")
        for i, line in enumerate(lines):
            match = TEST_START.match(line if i + 1 == len(lines) else line + lines[i + 1].strip())
            if not match:
                continue
            start = i
            while start > 0 and lines[start - 1].startswith("//"):
                start -= 1
            end = i
            while end < len(lines) and lines[end] != "}":
                end += 1
            size = sum(1 for l in lines[start:end + 1] if l.strip())
            bodies[(match.group(2), match.group(3))] = (os.path.relpath(path, ROOT), start + 1, size)
    return bodies


def body_key(test):
    """Parameterised instances (Prefix/Suite.Name/Param) share one body."""
    suite, name = test.split(".", 1)
    return suite.split("/")[-1], name.split("/")[0]


def report(results):
    lines = collections.defaultdict(set)
    statuses = collections.defaultdict(set)
    for test, (status, executed) in results.items():
        lines[body_key(test)] |= executed
        statuses[body_key(test)].add(status)
    runs = collections.Counter()
    for executed in lines.values():
        runs.update(executed)
    bodies = test_bodies()
    candidates = sorted((k for k in lines if k in bodies and statuses[k] == {"ok"}), key=lambda k: -bodies[k][2])
    overlapping = []
    for key in candidates:
        if all(runs[line] >= 2 for line in lines[key]):
            for line in lines[key]:
                runs[line] -= 1
            overlapping.append(key)
    print(f"{len(runs)} lines of src/ executed by {len(lines)} tests; the lines of these {len(overlapping)} tests "
          f"({sum(bodies[k][2] for k in overlapping)} lines of test) are executed by the others as well:")
    for key in overlapping:
        path, first, size = bodies[key]
        print(f"{size:5d} {path}:{first} {key[0]}.{key[1]}")
    not_run = sorted(f"{k[0]}.{k[1]}" for k in lines if statuses[k] != {"ok"})
    if not_run:
        print("did not run everywhere (skipped or failed), so not weighed: " + ", ".join(not_run))


def main():
    if len(sys.argv) != 2 or not os.path.isfile(os.path.join(sys.argv[1], "zeb_tests")):
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    report(collect(build, os.path.join(build, "overlap.pickle")))


if __name__ == "__main__":
    main()
