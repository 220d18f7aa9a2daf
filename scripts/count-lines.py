#!/usr/bin/env python3
"""Non-blank, non-comment lines of code and of tests in the repository.

  scripts/count-lines.py [--by-folder]

Code: the sources under src/, the benchmarks under bench/, scripts/, the
workflow (Snakefile, .smk files and workflow/scripts/), the CMake files
outside tests/ and the CI script. Tests: everything under tests/ that is
code (unit, end-to-end and damaged-input tests, fuzz harnesses, test
scripts, the golden cases' cmd and prepare scripts); data files, corpora
and expected outputs count for neither. Comments are // and /* */ lines in
C++, # lines elsewhere and Python docstrings.
"""
import argparse
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]
CXX = {".cpp", ".h", ".cc"}
HASH = {".py", ".sh", ".smk", ".cmake"}
HASH_NAMES = {"Snakefile", "CMakeLists.txt", "cmd", "prepare", "run"}


def language(path):
    if path.suffix in CXX:
        return "c++"
    if path.suffix in HASH or path.name in HASH_NAMES:
        return "hash"
    return None


def kind(name):
    """'code', 'test' or None for a repository path."""
    path = pathlib.PurePosixPath(name)
    parts = path.parts
    if language(path) is None:
        return None
    if parts[0] == "tests":
        if len(parts) > 2 and parts[1] == "fuzz" and parts[2] in {"corpus", "regressions"}:
            return None
        if parts[1] == "cases" and "expected" in parts:
            return None
        if parts[1] == "data" and path.suffix not in {".py", ".sh", ".cpp"}:
            return None
        return "test"
    if parts[0] in {"src", "bench", "scripts", "workflow"} or name in {"CMakeLists.txt", ".ci/run"}:
        return "code"
    return None


def counted_lines(text, lang):
    count = 0
    in_block = None  # the text that ends the comment block we are in
    for raw in text.splitlines():
        line = raw.strip()
        if in_block:
            if in_block in line:
                in_block = None
            continue
        if not line:
            continue
        if lang == "c++":
            if line.startswith("//"):
                continue
            if line.startswith("/*"):
                if "*/" not in line[2:]:
                    in_block = "*/"
                continue
        else:
            if line.startswith("#"):
                continue
            quote = line[:3]
            if quote in {'"""', "'''"}:  # a docstring standing alone
                if quote not in line[3:]:
                    in_block = quote
                continue
        count += 1
    return count


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--by-folder", action="store_true", help="also show the lines of each top folder")
    args = parser.parse_args()
    files = subprocess.run(["git", "ls-files"], cwd=ROOT, capture_output=True, text=True, check=True).stdout.split()
    totals = {"code": 0, "test": 0}
    folders = {}
    for name in files:
        which = kind(name)
        path = ROOT / name
        if which is None or not path.is_file():
            continue
        lines = counted_lines(path.read_text(errors="replace"), language(path))
        totals[which] += lines
        parts = pathlib.PurePosixPath(name).parts
        folder = "/".join(parts[:2]) if len(parts) > 2 else parts[0]
        folders[(which, folder)] = folders.get((which, folder), 0) + lines
    if args.by_folder:
        for (which, folder), lines in sorted(folders.items()):
            print(f"{which}\t{folder}\t{lines}")
    code, tests = totals["code"], totals["test"]
    print(f"code lines\t{code}\ntest lines\t{tests}")
    print(f"tests / code\t{tests / code:.1%}" if code else "tests / code\tNA")
    return 0


if __name__ == "__main__":
    sys.exit(main())
