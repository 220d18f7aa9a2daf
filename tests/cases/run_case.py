#!/usr/bin/env python3
"""Runs one golden-file case of tests/cases/<program>/<case>/ and compares
the exit status, standard output, standard error and the files the command
wrote with the case's expected/ folder.

A case folder holds `cmd` (one shell command line), optionally `prepare` (a
shell recipe run first, in the same fresh scratch directory) and
`expected/`: `status`, `stdout`, `stderr`, `files/` (every file the command
creates or changes, compared byte for byte; any other new file is an error)
and optionally `absent` (paths that must not exist afterwards).

    run_case.py CASE_DIR --impute P --screen P --convert P --analysis P [--update]

--update (re)writes the case's expected/ from this run, for review.
"""
import argparse
import difflib
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

TIMEOUT_SECONDS = 120
TIMING = re.compile(rb"^(read data time|total time) =[0-9]+$", re.M)


def snapshot(root):
    """Relative path -> content digest of every file under root."""
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    files[os.path.relpath(path, root)] = hashlib.sha256(f.read()).digest()
    return files


def normaliser(places):
    """Replaces run-dependent paths by their variable names and timing
    numbers by N."""
    pairs = []
    for name, path in places.items():
        for form in {path, os.path.realpath(path)}:
            pairs.append((form.encode(), b"$" + name.encode()))
    pairs.sort(key=lambda p: -len(p[0]))  # longest first: a scratch path may lie under /tmp

    def normalise(data, timing=False):
        for path, name in pairs:
            data = data.replace(path, name)
        return TIMING.sub(rb"\1 =N", data) if timing else data

    return normalise


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def diff(name, expected, actual):
    lines = difflib.unified_diff(
        expected.decode(errors="replace").splitlines(keepends=True),
        actual.decode(errors="replace").splitlines(keepends=True),
        "expected/" + name, "actual/" + name, n=2)
    text = "".join(line if line.endswith("\n") else line + "\n" for line in lines)
    if len(text) > 6000:
        text = text[:6000] + "... (diff cut)\n"
    return text or f"{name}: same text, different bytes\n"


def run(case, programs, update):
    source = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
    scratch = tempfile.mkdtemp(prefix="snp-case-")
    try:
        places = {"DATA": os.path.join(source, "tests", "data"), "EXAMPLES": os.path.join(source, "examples"),
                  "CASE": case, "SCRATCH": scratch}
        env = dict(os.environ, **places, **programs)
        del env["SCRATCH"]
        options = dict(cwd=scratch, env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=TIMEOUT_SECONDS)
        if os.path.exists(os.path.join(case, "prepare")):
            prepared = subprocess.run(["sh", "-ec", read(os.path.join(case, "prepare")).decode()], **options)
            if prepared.returncode != 0:
                sys.stdout.write("prepare failed:\n" + prepared.stderr.decode(errors="replace"))
                return 1
        before = snapshot(scratch)
        command = read(os.path.join(case, "cmd")).decode().strip()
        done = subprocess.run(["sh", "-c", command], **options)
        after = snapshot(scratch)
        normalise = normaliser(dict(places, **programs))  # a program's path: $SNP_IMPUTE etc.
        actual = {"status": b"%d\n" % done.returncode,
                  "stdout": normalise(done.stdout, timing=True),
                  "stderr": normalise(done.stderr, timing=True)}
        for path in sorted(after):
            if before.get(path) != after[path]:
                actual["files/" + path] = normalise(read(os.path.join(scratch, path)))
        expected_dir = os.path.join(case, "expected")
        absent = []
        if os.path.exists(os.path.join(expected_dir, "absent")):
            absent = read(os.path.join(expected_dir, "absent")).decode().split()

        expected = {}
        for folder, _, names in os.walk(expected_dir):
            for name in names:
                rel = os.path.relpath(os.path.join(folder, name), expected_dir)
                if rel != "absent":
                    expected[rel] = read(os.path.join(folder, name))
        for name in expected:  # an expected file the command had to leave as it was
            kept = os.path.join(scratch, name[len("files/"):])
            if name.startswith("files/") and name not in actual and os.path.isfile(kept):
                actual[name] = normalise(read(kept))

        if update:
            kept = os.path.join(expected_dir, "absent")
            kept_text = read(kept) if absent else None
            shutil.rmtree(expected_dir, ignore_errors=True)
            for name, data in actual.items():
                write(os.path.join(expected_dir, name), data)
            if kept_text is not None:
                write(kept, kept_text)
            print(f"updated {expected_dir} ({len(actual) - 3} output files)")
            return 0

        report = []
        for name in sorted(set(expected) | set(actual)):
            if name not in actual:
                report.append(f"{name}: expected, but the command did not write it\n")
            elif name not in expected:
                report.append(f"{name}: written by the command, not expected\n")
            elif expected[name] != actual[name]:
                report.append(diff(name, expected[name], actual[name]))
        report += [f"{path}: exists, expected absent\n" for path in absent
                   if os.path.lexists(os.path.join(scratch, path))]
        if report:
            sys.stdout.write(f"case {case}\ncommand: {command}\n" + "".join(report))
            return 1
        return 0
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("cases", nargs="+", help="case folders")
    for name in ("impute", "screen", "convert", "analysis"):
        parser.add_argument("--" + name, required=True, help="path of the program")
    parser.add_argument("--update", action="store_true", help="rewrite the expected files")
    args = parser.parse_args()
    programs = {"SNP_IMPUTE": args.impute, "SNP_SCREEN": args.screen, "SNP_CONVERT": args.convert,
                "CSM_ANALYSIS": args.analysis}
    programs = {k: os.path.abspath(v) for k, v in programs.items()}
    failed = 0
    for case in args.cases:
        failed |= run(os.path.abspath(case.rstrip("/")), programs, args.update)
    return failed


if __name__ == "__main__":
    sys.exit(main())
