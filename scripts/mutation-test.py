#!/usr/bin/python3
"""Mutation testing: does the test suite notice deliberate faults in the code?

Each mutation in the data file (scripts/mutations.txt by default) replaces one exact piece of text
in one file under src/. For every mutation this script applies it to a private copy of the source
tree, rebuilds zebd and the test binaries incrementally, runs each suite until its first failing
test, and records whether the suite killed the mutant (some test failed) or let it survive (every
test passed). A mutation whose original text is missing or appears more than once in its file is
reported as such and not run, so that definitions that no longer match the code are noticed.

Suites: "current" is the tests of this working tree; --suite NAME=REV adds the tests of another
revision (for example the suite before a change), built against the same source, so that the two
suites face exactly the same mutants.

    scripts/mutation-test.py                          # every mutation, the current suite
    scripts/mutation-test.py --suite before=main      # ... and the tests of main beside it
    scripts/mutation-test.py --only css-clause-order  # one mutation (comma-separated ids)
    scripts/mutation-test.py --check                  # only check that every mutation applies
    scripts/mutation-test.py --without 'A.x:B.*'      # as if the tests A.x and B.* were deleted

Everything happens under --work (default build-mutation/): the source copy, the build, the results
(results.tsv, appended as mutations finish, so that --resume can continue an interrupted run). The
working tree itself is never modified. The PostgreSQL-only tests skip themselves (ZEB_TEST_PG and
ZEB_TEST_DB are unset), so every zebd runs on the embedded database.
"""
import argparse
import datetime
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TREE_PARTS = ["CMakeLists.txt", "cmake", "src", "tests/pg"]
FAILED_TEST = re.compile(r"^\[  FAILED  \] ([A-Za-z0-9_/.]+)", re.M)


# --- the data file ---

class Mutation:
    def __init__(self, ident):
        self.ident = ident
        self.fields = {}

    def __getattr__(self, name):
        try:
            return self.__dict__["fields"][name]
        except KeyError:
            raise AttributeError(name)


def parse_mutations(path):
    """Blocks of "[id]" followed by "key: value" lines. A value may continue on the following
    lines indented by four spaces (the indent is removed, the lines are joined by newlines); a
    key with nothing after its colon takes only those lines. Values are used verbatim."""
    mutations, current, key = [], None, None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if key and line.startswith("    "):
                value = current.fields[key]
                current.fields[key] = (value + "\n" if value else "") + line[4:]
                continue
            key = None
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            if line.startswith("[") and line.endswith("]"):
                current = Mutation(line[1:-1])
                mutations.append(current)
                continue
            match = re.match(r"^([a-z]+):(?: (.*))?$", line)
            if not match or current is None:
                sys.exit(f"{path}:{number}: cannot read this line: {line}")
            key = match.group(1)
            current.fields[key] = match.group(2) or ""
    for m in mutations:
        for required in ("family", "kind", "file", "find", "replace"):
            if required not in m.fields:
                sys.exit(f"{path}: mutation {m.ident} has no {required}")
    idents = [m.ident for m in mutations]
    duplicates = {i for i in idents if idents.count(i) > 1}
    if duplicates:
        sys.exit(f"{path}: mutation ids used twice: {', '.join(sorted(duplicates))}")
    return mutations


def locate(mutation, tree):
    """The file's text when the original text occurs exactly once; otherwise (None, reason)."""
    path = os.path.join(tree, mutation.file)
    if not os.path.isfile(path):
        return None, "file not found"
    with open(path, encoding="utf-8") as f:
        text = f.read()
    count = text.count(mutation.find)
    if count == 0:
        return None, "original text not found"
    if count > 1:
        return None, f"original text found {count} times"
    return text, None


# --- copies of the tree and of the suites ---

def sync_file(source, target):
    """Copies source to target unless target already holds the same bytes (keeping its time, so
    that an unchanged file is not rebuilt)."""
    with open(source, "rb") as f:
        data = f.read()
    if os.path.isfile(target):
        with open(target, "rb") as f:
            if f.read() == data:
                return
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "wb") as f:
        f.write(data)


def sync_dir(source_root, parts, target_root):
    wanted = set()
    for part in parts:
        source = os.path.join(source_root, part)
        if os.path.isfile(source):
            files = [part]
        else:
            files = [os.path.relpath(os.path.join(d, n), source_root) for d, _, names in os.walk(source) for n in names]
        for rel in files:
            sync_file(os.path.join(source_root, rel), os.path.join(target_root, rel))
            wanted.add(rel)
    for part in parts:
        target = os.path.join(target_root, part)
        if os.path.isdir(target):
            for d, _, names in os.walk(target):
                for n in names:
                    rel = os.path.relpath(os.path.join(d, n), target_root)
                    if rel not in wanted:
                        os.remove(os.path.join(d, n))


def export_revision(rev, parts, target_root):
    """The files of parts at revision rev, synced into target_root."""
    with tempfile.TemporaryDirectory() as scratch:
        archive = subprocess.run(["git", "-C", ROOT, "archive", rev, "--"] + parts, capture_output=True, check=True)
        subprocess.run(["tar", "-x", "-C", scratch], input=archive.stdout, check=True)
        sync_dir(scratch, [p for p in parts if os.path.exists(os.path.join(scratch, p))], target_root)


def test_sources(sources_cmake):
    with open(sources_cmake, encoding="utf-8") as f:
        text = f.read()
    match = re.search(r"set\(ZEB_TEST_SOURCES\s+([^)]*)\)", text)
    if not match:
        sys.exit(f"{sources_cmake}: no ZEB_TEST_SOURCES")
    return match.group(1).split()


def write_build_project(work, suites):
    lines = [
        "cmake_minimum_required(VERSION 3.16)",
        "project(zeb_mutation CXX)",
        "set(CMAKE_CXX_STANDARD 17)",
        "set(CMAKE_CXX_STANDARD_REQUIRED ON)",
        'set(ZEB_BUILD_TESTS OFF CACHE BOOL "" FORCE)',
        'set(ZEB_BUILD_BENCH OFF CACHE BOOL "" FORCE)',
        "add_subdirectory(tree zeb)",
        "find_package(GTest REQUIRED)",
    ]
    for name, sources in suites.items():
        target = f"tests_{name}"
        files = " ".join(f"suites/{name}/{s}" for s in sources)
        lines += [
            f"add_executable({target} {files})",
            f"target_include_directories({target} PRIVATE ${{CMAKE_CURRENT_SOURCE_DIR}}/suites/{name}/tests)",
            f"target_link_libraries({target} PRIVATE zeb zeb_server GTest::gtest GTest::gtest_main)",
            f'target_compile_definitions({target} PRIVATE ZEB_SOURCE_DIR="${{CMAKE_CURRENT_SOURCE_DIR}}/tree" '
            f'ZEBD_PATH="$<TARGET_FILE:zebd>")',
        ]
    text = "\n".join(lines) + "\n"
    path = os.path.join(work, "CMakeLists.txt")
    if not os.path.isfile(path) or open(path, encoding="utf-8").read() != text:
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)


def write_import_project(work, suites, built):
    """A project that builds the suites against the libraries and zebd of the build dir built."""
    lines = [
        "cmake_minimum_required(VERSION 3.16)",
        "project(zeb_mutation CXX)",
        "set(CMAKE_CXX_STANDARD 17)",
        "set(CMAKE_CXX_STANDARD_REQUIRED ON)",
        "find_package(Threads REQUIRED)",
        "find_package(PkgConfig REQUIRED)",
        "pkg_check_modules(LIBXML2 REQUIRED IMPORTED_TARGET libxml-2.0)",
        "pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)",
        "pkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET libpq)",
        "pkg_check_modules(LIBCRYPT REQUIRED IMPORTED_TARGET libcrypt)",
        "find_package(OpenSSL REQUIRED)",
        "find_package(GTest REQUIRED)",
        "add_library(zeb STATIC IMPORTED)",
        f'set_target_properties(zeb PROPERTIES IMPORTED_LOCATION "{built}/libzeb.a" '
        f'INTERFACE_INCLUDE_DIRECTORIES "{ROOT}/src" INTERFACE_LINK_LIBRARIES '
        '"PkgConfig::LIBXML2;PkgConfig::SQLITE3;PkgConfig::LIBPQ;OpenSSL::Crypto;Threads::Threads")',
        "add_library(zeb_server STATIC IMPORTED)",
        f'set_target_properties(zeb_server PROPERTIES IMPORTED_LOCATION "{built}/libzeb_server.a" '
        'INTERFACE_LINK_LIBRARIES "zeb;OpenSSL::SSL;OpenSSL::Crypto;PkgConfig::LIBCRYPT")',
    ]
    for name, sources in suites.items():
        target = f"tests_{name}"
        files = " ".join(f"suites/{name}/{s}" for s in sources)
        lines += [
            f"add_executable({target} {files})",
            f"target_include_directories({target} PRIVATE ${{CMAKE_CURRENT_SOURCE_DIR}}/suites/{name}/tests)",
            f"target_link_libraries({target} PRIVATE zeb_server zeb GTest::gtest GTest::gtest_main)",
            f'target_compile_definitions({target} PRIVATE ZEB_SOURCE_DIR="{ROOT}" ZEBD_PATH="{built}/zebd")',
        ]
    text = "\n".join(lines) + "\n"
    path = os.path.join(work, "CMakeLists.txt")
    if not os.path.isfile(path) or open(path, encoding="utf-8").read() != text:
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)


def configure(work, build):
    args = ["cmake", "-S", work, "-B", build, "-DCMAKE_BUILD_TYPE=Mutation", "-DCMAKE_CXX_FLAGS_MUTATION=-O1"]
    if shutil.which("ccache"):
        args.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    if shutil.which("ld.lld"):
        args += ["-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld"]
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)


def build(build_dir, targets, jobs, log):
    with open(log, "w") as out:
        result = subprocess.run(["cmake", "--build", build_dir, "-j", str(jobs), "--target"] + targets,
                                stdout=out, stderr=subprocess.STDOUT)
    return result.returncode == 0


# --- running a suite ---

def test_env(scratch):
    env = dict(os.environ)
    for variable in ("ZEB_TEST_PG", "ZEB_TEST_DB", "ZEB_KEEP_TEST_DIRS", "GTEST_FILTER"):
        env.pop(variable, None)
    env["TMPDIR"] = scratch
    return env


def stop_group(process):
    """Ends a shard and every zebd it started (they share its process group)."""
    if process.poll() is not None:
        return
    for sig, wait in ((signal.SIGTERM, 5), (signal.SIGKILL, 5)):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(wait)
            return
        except subprocess.TimeoutExpired:
            pass


def run_shards(binary, gtest_filter, shards, timeout, work):
    """Runs the tests that match the filter in parallel shards, each stopping at its first
    failure; stops the others as soon as one fails. Returns (passed, failing test names, output
    of the failing shard)."""
    scratch = tempfile.mkdtemp(prefix="run-", dir=work)
    os.chmod(scratch, 0o755)  # the test clusters run as their own user under root
    env = test_env(scratch)
    processes = []
    try:
        for index in range(shards):
            shard_env = dict(env, GTEST_TOTAL_SHARDS=str(shards), GTEST_SHARD_INDEX=str(index))
            log = open(os.path.join(scratch, f"shard{index}.log"), "w+")
            process = subprocess.Popen([binary, "--gtest_fail_fast", "--gtest_brief=1", f"--gtest_filter={gtest_filter}"],
                                       stdout=log, stderr=subprocess.STDOUT, env=shard_env, start_new_session=True)
            processes.append((process, log))
        deadline = time.monotonic() + timeout
        while True:
            running = [p for p, _ in processes if p.poll() is None]
            failed = [(p, log) for p, log in processes if p.poll() not in (None, 0)]
            if failed or not running:
                break
            if time.monotonic() > deadline:
                return False, ["(time-out)"], ""
            time.sleep(0.5)
        if not failed:
            return True, [], ""
        process, log = failed[0]
        log.seek(0)
        output = log.read()
        names = FAILED_TEST.findall(output) or [f"(exit status {process.returncode})"]
        return False, sorted(set(names)), output
    finally:
        for process, log in processes:
            stop_group(process)
            log.close()
        shutil.rmtree(scratch, ignore_errors=True)


def run_suite(binary, hint, shards, timeout, work, focused=False, without=None):
    """'survived', or 'killed by NAME'. A failing test is run once more alone; if it then passes
    the failure was a flake and the phase is run again (twice at most). Focused, only the tests the
    hint names run. The tests `without` matches (a colon-separated gtest filter) never run."""
    phases = ([hint] if focused else [hint, "-" + hint]) if hint else ["*"]
    if without:
        # gtest takes everything after the first "-" as patterns to leave out.
        phases = [p + (":" if "-" in p else "-") + without for p in phases]
    for gtest_filter in phases:
        for attempt in range(3):
            passed, names, _ = run_shards(binary, gtest_filter, shards, timeout, work)
            if passed:
                break
            if names[0].startswith("("):
                return f"killed ({names[0][1:-1]})"
            confirmed, _, _ = run_shards(binary, names[0], 1, timeout, work)
            if not confirmed:
                return f"killed by {names[0]}"
            print(f"      {names[0]} failed once and passed alone: run again", flush=True)
        else:
            return "flaky"
    return "survived"


# --- main ---

def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--mutations", default=os.path.join(ROOT, "scripts", "mutations.txt"))
    parser.add_argument("--suite", action="append", default=[], metavar="NAME=REV",
                        help="also run the tests of revision REV, as suite NAME")
    parser.add_argument("--no-current", action="store_true", help="do not run this working tree's tests")
    parser.add_argument("--work", default=os.path.join(ROOT, "build-mutation"))
    parser.add_argument("--in-place", metavar="BUILD_DIR",
                        help="mutate this working tree's src/ itself and rebuild the configured build BUILD_DIR "
                             "(its zeb_tests is the current suite); faster when that build is up to date. "
                             "src/ must be unchanged against git, and is restored after each mutation")
    parser.add_argument("--only", help="comma-separated mutation ids, run in this order")
    parser.add_argument("--jobs", type=int, default=2, help="build jobs")
    parser.add_argument("--shards", type=int, default=3, help="test processes per suite")
    parser.add_argument("--timeout", type=int, default=1800, help="seconds one run of a suite may take")
    parser.add_argument("--resume", action="store_true", help="skip mutations already in results.tsv")
    parser.add_argument("--focused", action="store_true",
                        help="run only the tests a mutation's hint names (a survivor then survived those only)")
    parser.add_argument("--check", action="store_true", help="only check that every mutation applies")
    parser.add_argument("--skip-baseline", action="store_true", help="do not run the suites on the unmutated code")
    parser.add_argument("--without", metavar="FILTER",
                        help="colon-separated gtest patterns of tests never to run, as if they were deleted: "
                             "shows whether a trim of the suite lets mutants survive")
    args = parser.parse_args()

    mutations = parse_mutations(args.mutations)
    if args.only:
        wanted = set(args.only.split(","))
        unknown = wanted - {m.ident for m in mutations}
        if unknown:
            sys.exit(f"unknown mutation ids: {', '.join(sorted(unknown))}")
        # In the order given, so that a run cut short has covered what was named first.
        order = args.only.split(",")
        mutations = sorted((m for m in mutations if m.ident in wanted), key=lambda m: order.index(m.ident))

    if args.check:
        problems = 0
        for m in mutations:
            _, reason = locate(m, ROOT)
            if reason:
                problems += 1
                print(f"{m.ident}: {m.file}: {reason}")
        print(f"{len(mutations) - problems} of {len(mutations)} mutations apply")
        return 1 if problems else 0

    work = os.path.abspath(args.work)
    tree = os.path.join(work, "tree")
    build_dir = os.path.join(work, "build")
    os.makedirs(work, exist_ok=True)
    in_place = os.path.abspath(args.in_place) if args.in_place else None
    if in_place:
        changed = subprocess.run(["git", "-C", ROOT, "status", "--porcelain", "--", "src"], capture_output=True,
                                 text=True).stdout
        if changed:
            sys.exit("--in-place needs src/ as committed; it has changes:\n" + changed)
        tree = ROOT
        # A termination restores the mutated file (through the finally below) instead of leaving it.
        signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    else:
        sync_dir(ROOT, TREE_PARTS, tree)

    suites = {}
    if in_place and not args.no_current:
        suites["current"] = None
    elif not args.no_current:
        sync_dir(ROOT, ["tests", "cmake/Sources.cmake"], os.path.join(work, "suites", "current"))
        suites["current"] = None
    for given in args.suite:
        name, _, rev = given.partition("=")
        if not re.fullmatch(r"[A-Za-z0-9_]+", name) or not rev or name in suites:
            sys.exit(f"--suite {given}: give NAME=REV with a new NAME of letters, digits and _")
        export_revision(rev, ["tests", "cmake/Sources.cmake"], os.path.join(work, "suites", name))
        suites[name] = rev
    if not suites:
        sys.exit("no suite to run")
    others = [n for n in suites if not (in_place and n == "current")]
    sources = {n: test_sources(os.path.join(work, "suites", n, "cmake", "Sources.cmake")) for n in others}
    binaries = {n: os.path.join(build_dir, f"tests_{n}") for n in others}
    if in_place:
        write_import_project(work, sources, in_place)
        builds = [(in_place, ["zebd", "zeb_tests"])] + ([(build_dir, [f"tests_{n}" for n in others])] if others else [])
        if "current" in suites:
            binaries = dict({"current": os.path.join(in_place, "zeb_tests")}, **binaries)
    else:
        write_build_project(work, sources)
        builds = [(build_dir, ["zebd"] + [f"tests_{n}" for n in suites])]
    if others:
        configure(work, build_dir)

    def build_all(log):
        return all(build(directory, targets, args.jobs, log + f".{i}") for i, (directory, targets) in enumerate(builds))

    results_path = os.path.join(work, "results.tsv")
    done = set()
    if args.resume and os.path.isfile(results_path):
        with open(results_path, encoding="utf-8") as f:
            done = {line.split("\t")[0] for line in f if line.strip()}
    elif os.path.exists(results_path):
        os.replace(results_path, results_path + ".previous")

    print(f"{datetime.datetime.now():%H:%M:%S} build of the unmutated code", flush=True)
    if not build_all(os.path.join(work, "build.log")):
        sys.exit(f"the unmutated code does not build; see {work}/build.log")
    if not args.skip_baseline:
        for name, binary in binaries.items():
            started = time.monotonic()
            outcome = run_suite(binary, None, args.shards, args.timeout, work, without=args.without)
            print(f"  suite {name} on the unmutated code: {'passes' if outcome == 'survived' else outcome} "
                  f"({time.monotonic() - started:.0f} s)", flush=True)
            if outcome != "survived":
                sys.exit("a suite fails without any mutation; fix that first")

    summary = []
    for m in mutations:
        if m.ident in done:
            continue
        path = os.path.join(tree, m.file)
        original, reason = locate(m, tree)
        started = time.monotonic()
        outcomes = {}
        if reason:
            outcomes = {n: reason for n in suites}
        else:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(m.find, m.replace, 1))
            try:
                if not build_all(os.path.join(work, f"build-{m.ident}.log")):
                    outcomes = {n: "does not build" for n in suites}
                else:
                    for name, binary in binaries.items():
                        outcomes[name] = run_suite(binary, m.fields.get("hint"), args.shards, args.timeout, work,
                                                   args.focused, args.without)
            finally:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(original)
        elapsed = time.monotonic() - started
        print(f"{datetime.datetime.now():%H:%M:%S} {m.ident} ({elapsed:.0f} s): " +
              "; ".join(f"{n} {o}" for n, o in outcomes.items()), flush=True)
        with open(results_path, "a", encoding="utf-8") as f:
            f.write("\t".join([m.ident, m.family, m.kind] + [f"{n}={outcomes[n]}" for n in suites]) + "\n")
        summary.append((m, outcomes))

    if in_place:
        # Leave the build as the unmutated code makes it.
        build_all(os.path.join(work, "build.log"))

    # The whole table, this run's rows and those of a resumed run.
    rows = []
    with open(results_path, encoding="utf-8") as f:
        for line in f:
            if line.strip():
                ident, family, kind, *cells = line.rstrip("\n").split("\t")
                rows.append((ident, family, kind, dict(c.split("=", 1) for c in cells)))
    names = list(suites)
    print("\n| mutation | family | kind | " + " | ".join(names) + " |")
    print("|---|---|---|" + "---|" * len(names))
    for ident, family, kind, cells in rows:
        print(f"| {ident} | {family} | {kind} | " + " | ".join(cells.get(n, "") for n in names) + " |")
    for name in names:
        killed = sum(1 for r in rows if r[3].get(name, "").startswith("killed"))
        survived = sum(1 for r in rows if r[3].get(name) == "survived")
        print(f"{name}: {killed} killed, {survived} survived, {len(rows) - killed - survived} other, of {len(rows)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
