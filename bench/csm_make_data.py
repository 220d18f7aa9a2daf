#!/usr/bin/env python3
"""Writes a csm-analysis data set with a planted signal into OUTDIR.

    csm_make_data.py OUTDIR [N M PERMUTATIONS MISSING_RATE REPEATS]

Defaults are the program's built-in size: 1,033 individuals, 152 markers,
200 permuted data sets, no missing genotypes, the 10 repeated analyses of
the default parameter file. The risk rises with the interaction of markers
3 and 7 and with the copies at marker 10; the half of highest risk are the
cases. Writes genotypes.txt, phenotypes.txt, columns.txt, parameter.txt,
Chromosome_SNP_Length.txt and cc555k_map/cc555k_chr1.snps; the same bytes
on every run.
"""
import os
import random
import sys


def main():
    out = sys.argv[1]
    n, m, permutations = (int(v) for v in (sys.argv[2:5] + ["1033", "152", "200"][len(sys.argv[2:5]):]))
    missing = float(sys.argv[5]) if len(sys.argv) > 5 else 0.0
    repeats = int(sys.argv[6]) if len(sys.argv) > 6 else 10
    os.makedirs(os.path.join(out, "cc555k_map"), exist_ok=True)
    rng = random.Random(20261206)
    freqs = [0.1 + 0.4 * rng.random() for _ in range(m)]
    genotypes = [[(rng.random() < f) + (rng.random() < f) for f in freqs] for _ in range(n)]
    risk = [1.5 * (g[2] > 0 and g[6] > 0) + 0.6 * g[9] + rng.gauss(0.0, 1.0) for g in genotypes]
    phenotype = [0] * n
    for i in sorted(range(n), key=lambda i: -risk[i])[: n // 2]:
        phenotype[i] = 1
    for g in genotypes:
        for j in range(m):
            if rng.random() < missing:
                g[j] = -1
    with open(os.path.join(out, "genotypes.txt"), "w") as f:
        f.writelines(" ".join(map(str, g)) + "\n" for g in genotypes)
    with open(os.path.join(out, "phenotypes.txt"), "w") as f:
        f.write(" ".join(map(str, phenotype)) + "\n")
        for _ in range(permutations):
            permuted = phenotype[:]
            rng.shuffle(permuted)
            f.write(" ".join(map(str, permuted)) + "\n")
    with open(os.path.join(out, "columns.txt"), "w") as f:
        f.writelines(" ".join(str(j) for j in range(m)) + "\n" for _ in range(permutations + 1))
    with open(os.path.join(out, "parameter.txt"), "w") as f:
        f.write("Sample_size\t\t\t\t\t%d\n" % n)
        f.write("Number_of_markers\t\t\t%d\n" % m)
        f.write("Max_retain\t\t\t\t\t10\n")
        f.write("FDR_cutoff_for_candidate_locus_combinations\t0.75\n")
        f.write("Number_of_permutation\t\t%d\n" % permutations)
        f.write("How_many_imputation_to_deal_with_missing\t\t\t%d\n" % repeats)
        f.write("Best_m\t\t\t\t\t\t10\n")
    with open(os.path.join(out, "Chromosome_SNP_Length.txt"), "w") as f:
        f.write(" ".join(["%d" % m] + ["1"] * 25) + "\n")
    with open(os.path.join(out, "cc555k_map", "cc555k_chr1.snps"), "w") as f:
        f.writelines("1 %d rs%d A G 0 0 0\n" % (1000 * (j + 1), 1001 + j) for j in range(m))


if __name__ == "__main__":
    main()
