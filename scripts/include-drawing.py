#!/usr/bin/env python3
"""The folders of src/ with the folders each includes, their lines and share.

  scripts/include-drawing.py

A folder is a directory of src/ holding sources (src/analysis/<stage> for the
analysis). LAYERS lists them from the programs down to base; an include of a
folder listed above the including one runs upward, and a program folder
including another program folder leans on it. Either is reported and makes
the exit status 1, as does a folder missing from LAYERS.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]
SRC = ROOT / "src"
sys.path.insert(0, str(ROOT / "scripts"))

# Top first. Programs, then the phases, then readers and numerics, then base.
LAYERS = [
    "driver", "convert", "screen", "analysis/run",
    "analysis/permutation", "analysis/report", "analysis/fit", "analysis/search", "analysis/inputs", "analysis/state",
    "single_marker", "association", "impute", "coding", "input", "genotypes", "parameters", "numeric", "base",
]
PROGRAMS = {"driver", "convert", "screen", "analysis/run"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(relative):
    parts = pathlib.PurePosixPath(relative).parts
    return "/".join(parts[:2]) if parts[0] == "analysis" and len(parts) > 2 else parts[0]


def main():
    count = __import__("count-lines")
    lines, edges = {}, {}
    for path in sorted(SRC.rglob("*")):
        if path.suffix not in {".cpp", ".h"}:
            continue
        folder = folder_of(path.relative_to(SRC).as_posix())
        text = path.read_text()
        lines[folder] = lines.get(folder, 0) + count.counted_lines(text, "c++")
        for target in INCLUDE.findall(text):
            if (SRC / target).is_file() and folder_of(target) != folder:
                edges.setdefault(folder, set()).add(folder_of(target))
    total = sum(lines.values())
    problems = [f"{folder}: not in LAYERS" for folder in lines if folder not in LAYERS]
    for folder in [f for f in LAYERS if f in lines]:
        targets = sorted(edges.get(folder, ()), key=LAYERS.index)
        print(f"{folder:22} {lines[folder]:6} {lines[folder] / total:6.1%}  -> {', '.join(targets) or '-'}")
        for target in targets:
            if LAYERS.index(target) < LAYERS.index(folder):
                problems.append(f"{folder} includes {target}: upward")
            if folder in PROGRAMS and target in PROGRAMS:
                problems.append(f"{folder} includes {target}: one program leans on another")
    print(f"{'all of src':22} {total:6}")
    for problem in problems:
        print("Problem:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
