#!/usr/bin/env python3
"""Writes the small end-to-end data set in tests/data/small (fixed seed).

Ten reference haplotypes built as mosaics of three founders (so that
neighbouring markers are in linkage disequilibrium), 40 reference markers,
16 of them typed in 4 cases and 3 controls, with missing genotypes, missing
reference alleles, one swapped-letter marker and one study marker that is
not in the panel. Usage: python3 make_small.py [OUTPUT_DIR]
"""
import os
import random
import sys

SEED = 11
N_HAP, N_MARKERS, N_CASE, N_CONTROL = 10, 40, 4, 3
TYPED = [1, 3, 5, 8, 10, 13, 15, 18, 21, 24, 27, 30, 33, 35, 37, 39]
LETTERS = ["AG", "CT", "AC", "GT"]


def mosaic(rng, founders, noise):
    hap, current = [], rng.randrange(len(founders))
    for m in range(N_MARKERS):
        if rng.random() < 0.15:
            current = rng.randrange(len(founders))
        allele = founders[current][m]
        hap.append(1 - allele if rng.random() < noise else allele)
    return hap


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "small")
    os.makedirs(out, exist_ok=True)
    rng = random.Random(SEED)
    founders = [[rng.randrange(2) for _ in range(N_MARKERS)] for _ in range(3)]
    panel = [mosaic(rng, founders, 0.03) for _ in range(N_HAP)]
    study = [(mosaic(rng, founders, 0.1), mosaic(rng, founders, 0.1)) for _ in range(N_CASE + N_CONTROL)]
    letters = [LETTERS[m % 4] for m in range(N_MARKERS)]
    names = ["rs%d" % (500 + m) for m in range(N_MARKERS)]

    with open(os.path.join(out, "hapmap.hap"), "w") as f:
        for h, hap in enumerate(panel):
            codes = ["?" if (h * 7 + m) % 97 == 0 else str(a) for m, a in enumerate(hap)]
            f.write(" ".join(codes) + "\n")
    with open(os.path.join(out, "hapmap.map"), "w") as f:
        f.write("rsID position allele0 allele1\n")
        for m in range(N_MARKERS):
            f.write("%s %d %s %s\n" % (names[m], 1000 + 250 * m, letters[m][0], letters[m][1]))
    for study_map in ("normal.map", "disease.map"):
        with open(os.path.join(out, study_map), "w") as f:
            for k, m in enumerate(TYPED):
                name = "rs9999" if m == 35 else names[m]  # not in the panel
                l0, l1 = (letters[m][1], letters[m][0]) if m == 10 else (letters[m][0], letters[m][1])
                f.write("7 %d %s %s %s %d 0 0\n" % (k, name, l0, l1, 1000 + 250 * m))
    for path, rows, prefix in (("disease.geno", study[:N_CASE], "CASE"), ("normal.geno", study[N_CASE:], "CTRL")):
        with open(os.path.join(out, path), "w") as f:
            for s, (h1, h2) in enumerate(rows):
                fields = []
                for m in TYPED:
                    pair = [letters[m][h1[m]], letters[m][h2[m]]]
                    if rng.random() < 0.08:
                        pair = ["0", "0"]
                    fields += pair
                f.write("%s%d 1 %s \n" % (prefix, s, " ".join(fields)))
    with open(os.path.join(out, "parameter.txt"), "w") as f:
        f.write("current_chr 7\npopulation_marker %d\npopulation_sample %d\ntyped_marker %d\n"
                "ncase %d\nncontrol %d\ncalling_genotype_threshood 0.5\n"
                "Path_reference_datadirectory DATA\nPath_study_datadirectory DATA\n"
                "Reference_data_file hapmap.hap\nReference_data_mapfile hapmap.map\n"
                "Disease_data_file disease.geno\nDisease_data_mapfile disease.map\n"
                "Normal_data_file normal.geno\nNormal_data_mapfile normal.map\n"
                "Imputation_result_data_file imputation_results.txt\nfirst_marker 1\nlast_marker %d\n"
                % (N_MARKERS, N_HAP, len(TYPED), N_CASE, N_CONTROL, N_MARKERS))


if __name__ == "__main__":
    main()
