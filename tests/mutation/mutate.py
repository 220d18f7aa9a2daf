#!/usr/bin/env python3
"""Mutation check: applies each single-line fault of faults.tsv to the source,
rebuilds, runs the test suite and reports whether a test failed (the fault is
killed) or not (it survived). The source is restored after every fault.

  tests/mutation/mutate.py [--build DIR] [--only SUBSTRING] [faults.tsv]

faults.tsv: one fault per line, three tab-separated fields: the file, a text
that occurs exactly once in it, and its replacement. '#' lines are comments.
"""
import argparse
import pathlib
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]


def read_faults(path):
    faults = []
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != 3:
            sys.exit(f"Error: line {number} of {path}: expected 3 tab-separated fields, found {len(fields)}")
        faults.append((number, *fields))
    return faults


def run(command, build):
    return subprocess.run(command, cwd=build, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


def check(fault, build):
    number, name, old, new = fault
    source = ROOT / name
    original = source.read_text()
    if original.count(old) != 1:
        return "stale"  # the text no longer occurs exactly once: the fault needs updating
    try:
        source.write_text(original.replace(old, new))
        if run(["cmake", "--build", ".", "-j2"], build) != 0:
            return "no-build"
        failed = run(["ctest", "-j2", "--stop-on-failure", "--timeout", "120"], build)
        return "killed" if failed else "SURVIVED"
    finally:
        source.write_text(original)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("faults", nargs="?", default=pathlib.Path(__file__).with_name("faults.tsv"), type=pathlib.Path)
    parser.add_argument("--build", default=ROOT / "build", type=pathlib.Path)
    parser.add_argument("--only", default="", help="check only faults whose file contains this text")
    args = parser.parse_args()
    faults = [f for f in read_faults(args.faults) if args.only in f[1]]
    outcomes = {}
    for fault in faults:
        start = time.time()
        outcome = check(fault, args.build)
        outcomes.setdefault(outcome, []).append(fault)
        print(f"{outcome:9} line {fault[0]:3} {fault[1]}: {fault[2]!r} -> {fault[3]!r} ({time.time() - start:.0f} s)",
              flush=True)
    run(["cmake", "--build", ".", "-j2"], args.build)  # leave the build matching the source
    valid = len(outcomes.get("killed", [])) + len(outcomes.get("SURVIVED", []))
    killed = len(outcomes.get("killed", []))
    print(f"killed {killed} of {valid} faults ({100 * killed // max(valid, 1)}%);"
          f" {len(outcomes.get('stale', []))} stale, {len(outcomes.get('no-build', []))} do not build")
    return 0 if not outcomes.get("stale") and not outcomes.get("no-build") else 1


if __name__ == "__main__":
    sys.exit(main())
