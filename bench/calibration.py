#!/usr/bin/env python3
"""Calibration of the study's multi-marker p-value under the null.

Writes a PLINK fileset of random genotypes (no marker bears on the
phenotype) and K random case/control labelings of its samples. Each
labeling goes through snp-screen -> csm-analysis --top TABLE N -> the
p-value (k + 1) / (B + 1) of csm_model.tsv, with the selection repeated in
every permutation; as the baseline, the same N markers go through
csm-analysis --snps, whose permutations keep the selection fixed (the
screen's choice is then outside the test). Prints, for both, the share of
labelings with p <= 0.05 and a histogram of p in tenths.

Usage: calibration.py BUILD_DIR WORK_DIR
Environment: LABELINGS (K, default 20), PERMUTATIONS (B, default 39),
TOP (N, default 5), SAMPLES (default 300), MARKERS (default 400).
"""
import os
import random
import re
import subprocess
import sys


def env(name, default):
    return int(os.environ.get(name, default))


def write_fileset(prefix, samples, markers, rng):
    with open(prefix + ".fam", "w") as f:
        f.writelines(f"s{i} s{i} 0 0 0 -9\n" for i in range(samples))
    with open(prefix + ".bim", "w") as f:
        f.writelines(f"1\tm{j}\t0\t{1000 * (j + 1)}\tA\tG\n" for j in range(markers))
    bits = {2: 0b00, 1: 0b10, 0: 0b11}
    bed = bytearray([0x6C, 0x1B, 0x01])
    for _ in range(markers):
        freq = rng.uniform(0.05, 0.5)
        codes = [(rng.random() < freq) + (rng.random() < freq) for _ in range(samples)]
        for start in range(0, samples, 4):
            byte = 0
            for k, code in enumerate(codes[start:start + 4]):
                byte |= bits[code] << (2 * k)
            bed.append(byte)
    with open(prefix + ".bed", "wb") as f:
        f.write(bytes(bed))


def permutation_p(directory):
    with open(os.path.join(directory, "csm_model.tsv")) as f:
        match = re.search(r"^# P_PERM=(\S+):", f.read(), re.M)
    return float(match.group(1)) if match and match.group(1) != "NA" else None


def run(command, directory):
    os.makedirs(directory, exist_ok=True)
    subprocess.run(command, cwd=directory, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def histogram(values):
    counts = [0] * 10
    for p in values:
        counts[min(int(p * 10), 9)] += 1
    return " ".join(f"{c}" for c in counts)


def summary(name, values, found):
    small = sum(1 for p in values if p <= 0.05)
    return (f"{name}: p <= 0.05 in {small} of {len(values)} labelings with a model "
            f"({found} of the labelings found one); p in tenths 0-0.1 ... 0.9-1: {histogram(values)}")


def main():
    build, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    labelings, permutations, top = env("LABELINGS", 20), env("PERMUTATIONS", 39), env("TOP", 5)
    samples, markers = env("SAMPLES", 300), env("MARKERS", 400)
    rng = random.Random(2026)
    os.makedirs(work, exist_ok=True)
    prefix = os.path.join(work, "null")
    write_fileset(prefix, samples, markers, rng)
    results = {"--top": [], "--snps": []}
    found = {"--top": 0, "--snps": 0}
    for k in range(labelings):
        run_dir = os.path.join(work, f"labeling{k}")
        os.makedirs(run_dir, exist_ok=True)
        cases = os.path.join(run_dir, "cases.txt")
        with open(cases, "w") as f:
            f.writelines(f"s{i}\n" for i in sorted(rng.sample(range(samples), samples // 2)))
        table = os.path.join(run_dir, "screen.screen.tsv")
        run([f"{build}/snp-screen", "--bfile", prefix, "--cases", cases, "--out", "screen"], run_dir)
        common = ["--bfile", prefix, "--cases", cases, "--permutations", str(permutations), "--seed", str(k + 1),
                  "--quiet"]
        with open(table) as f:
            rows = [line.rstrip("\n").split("\t") for line in f][1:]
        best = [r[1] for r in sorted(rows, key=lambda r: float("inf") if r[17] == "NA" else float(r[17]))][:top]
        for option, args in (("--top", ["--top", table, str(top)]), ("--snps", ["--snps", ",".join(best)])):
            directory = os.path.join(run_dir, option.strip("-"))
            run([f"{build}/csm-analysis"] + common + args, directory)
            p = permutation_p(directory)
            if p is not None:
                results[option].append(p)
                found[option] += 1
        print(f"labeling {k + 1}/{labelings} done", file=sys.stderr)
    print(f"{labelings} null labelings of {samples} samples x {markers} markers, top {top}, "
          f"{permutations} permutations each")
    print(summary("selection inside the permutations (--top)", results["--top"], found["--top"]))
    print(summary("selection outside (--snps of the same markers)", results["--snps"], found["--snps"]))


if __name__ == "__main__":
    main()
