#!/usr/bin/env python3
"""Injects realistic one-line faults into a copy of the tree, one at a time, and tells
which of them the unit tests catch.

    tools/dev/mutate.py                      every fault in tools/dev/faults.txt
    tools/dev/mutate.py --match forms/       only faults whose id or file contains "forms/"
    tools/dev/mutate.py --check              only check that every fault still applies

The tree is copied (without .git and build folders) to --work, built there once with
the unit tests, then each fault is written into its file, the tests are rebuilt and run
(`ctest -LE integration`), and the file is put back. A fault is "caught" when the build
of the tests succeeds and at least one test fails or times out. A fault whose text no
longer stands exactly once in its file is "stale": the list must follow the code.

The fault list (tools/dev/faults.txt) is a series of blocks:

    @ F01 forms/clock_alarm.cpp  what the fault does
    - the exact text to replace (must occur exactly once in the file)
    + the text that replaces it

More than one "-" or "+" line joins them with newlines.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent


@dataclass
class Fault:
    ident: str
    path: str
    what: str
    old: list = field(default_factory=list)
    new: list = field(default_factory=list)

    @property
    def old_text(self):
        return "\n".join(self.old)

    @property
    def new_text(self):
        return "\n".join(self.new)


def read_faults(path):
    faults = []
    for number, line in enumerate(Path(path).read_text().splitlines(), 1):
        if line.startswith("@ "):
            ident, file, *what = line[2:].split(None, 2)
            faults.append(Fault(ident, file, what[0] if what else ""))
        elif line.startswith("- ") or line == "-":
            faults[-1].old.append(line[2:])
        elif line.startswith("+ ") or line == "+":
            faults[-1].new.append(line[2:])
        elif line.strip() and not line.startswith("#"):
            sys.exit(f"{path}:{number}: not a fault line: {line!r}")
    for f in faults:
        if not f.old:
            sys.exit(f"{path}: fault {f.ident} has no '-' line")
    return faults


def applies(src, fault):
    file = src / fault.path
    return file.exists() and file.read_text().count(fault.old_text) == 1


def run(cmd, cwd, timeout=None):
    try:
        done = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout)
        return done.returncode, done.stdout
    except subprocess.TimeoutExpired as e:
        return -1, (e.stdout or b"").decode(errors="replace") if isinstance(e.stdout, bytes) else (e.stdout or "")


def copy_tree(source, dest):
    if dest.exists():
        shutil.rmtree(dest)
    ignore = shutil.ignore_patterns(".git", "build*", "out", "*.swp", ".cache")
    shutil.copytree(source, dest, ignore=ignore, symlinks=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--source", type=Path, default=ROOT, help="the tree to copy (default: this one)")
    parser.add_argument("--faults", type=Path, default=HERE / "faults.txt")
    parser.add_argument("--work", type=Path, default=Path("/tmp/tolvane-mutants"))
    parser.add_argument("--match", default="", help="only faults whose id or file contains this")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--timeout", type=int, default=60, help="seconds a single test may take")
    parser.add_argument("--check", action="store_true", help="only check that every fault applies")
    parser.add_argument("--reuse", action="store_true", help="keep an earlier copy and build in --work")
    args = parser.parse_args()

    faults = [f for f in read_faults(args.faults) if args.match in f.ident or args.match in f.path]
    stale = [f for f in faults if not applies(args.source, f)]
    for f in stale:
        print(f"stale  {f.ident} {f.path}: the text does not stand exactly once")
    if args.check:
        print(f"{len(faults) - len(stale)} of {len(faults)} faults apply")
        return 1 if stale else 0

    src, build = args.work / "src", args.work / "build"
    if not (args.reuse and src.exists()):
        print(f"copying {args.source} to {src}", flush=True)
        copy_tree(args.source, src)
    configure = ["cmake", "-S", str(src), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                 "-DTOLVANE_BENCH=OFF"]
    if shutil.which("ccache"):
        configure.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    build_cmd = ["cmake", "--build", str(build), f"-j{args.jobs}"]
    test_cmd = ["ctest", "-LE", "integration", f"-j{args.jobs}", "--timeout", str(args.timeout),
                "--stop-on-failure", "-Q"]
    for step in (configure, build_cmd):
        code, out = run(step, src)
        if code != 0:
            sys.exit(out[-4000:] + "\nthe unmutated tree does not build")
    code, out = run(test_cmd, build)
    if code != 0:
        sys.exit(out[-4000:] + "\nthe unmutated tree does not pass its tests")

    results = []
    for f in faults:
        if f in stale:
            results.append((f, "stale", 0.0))
            continue
        file = src / f.path
        original = file.read_text()
        started = time.monotonic()
        file.write_text(original.replace(f.old_text, f.new_text, 1))
        try:
            code, out = run(build_cmd, src)
            if code != 0:
                outcome = "no-build"
            else:
                code, out = run(test_cmd, build)
                outcome = "caught" if code != 0 else "SURVIVED"
        finally:
            file.write_text(original)
        took = time.monotonic() - started
        results.append((f, outcome, took))
        print(f"{outcome:8} {f.ident:4} {f.path}: {f.what} ({took:.0f} s)", flush=True)

    run(build_cmd, src)  # leave the copy built as it was
    counted = [r for r in results if r[1] in ("caught", "SURVIVED")]
    caught = sum(1 for r in counted if r[1] == "caught")
    print(f"\nscore: {caught} of {len(counted)} faults caught"
          + (f" ({100 * caught / len(counted):.0f} %)" if counted else "")
          + (f"; {len(results) - len(counted)} not run (stale or not building)" if len(counted) < len(results)
             else ""))
    for f, outcome, _ in results:
        if outcome != "caught":
            print(f"  {outcome}: {f.ident} {f.path}: {f.what}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
