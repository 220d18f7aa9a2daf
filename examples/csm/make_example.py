#!/usr/bin/env python3
"""Writes a small case/control data set for csm-analysis into OUTDIR
(default: the directory of this script).

200 individuals typed at 12 markers (about 1% missing genotypes). The risk
of disease rises with the interaction of markers 3 and 7 (carriers of the
counted allele at both) and with the copies at marker 10; the 100
individuals of highest risk are the cases. Data sets 1..19 hold random
permutations of the phenotype. Marker j is genotype column j - 1, named
rs100j.. on chromosome 1. Output is the same byte for byte on every run.
"""
import math
import os
import random
import sys

N, M, PERMUTATIONS = 200, 12, 19
SEED = 20240611


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(os.path.join(out, "cc555k_map"), exist_ok=True)
    rng = random.Random(SEED)
    freqs = [0.25 + 0.25 * rng.random() for _ in range(M)]
    genotypes = [[(rng.random() < f) + (rng.random() < f) for f in freqs] for _ in range(N)]
    risk = []
    for g in genotypes:
        score = 2.5 * (g[2] > 0 and g[6] > 0) + 1.0 * g[9] + rng.gauss(0.0, 1.0)
        risk.append(score)
    order = sorted(range(N), key=lambda i: -risk[i])
    phenotype = [0] * N
    for i in order[: N // 2]:
        phenotype[i] = 1
    for g in genotypes:
        for j in range(M):
            if rng.random() < 0.01:
                g[j] = -1
    with open(os.path.join(out, "genotypes.txt"), "w") as f:
        for g in genotypes:
            f.write(" ".join(str(v) for v in g) + "\n")
    with open(os.path.join(out, "phenotypes.txt"), "w") as f:
        f.write(" ".join(map(str, phenotype)) + "\n")
        for _ in range(PERMUTATIONS):
            permuted = phenotype[:]
            rng.shuffle(permuted)
            f.write(" ".join(map(str, permuted)) + "\n")
    with open(os.path.join(out, "columns.txt"), "w") as f:
        for _ in range(PERMUTATIONS + 1):
            f.write(" ".join(str(j) for j in range(M)) + "\n")
    with open(os.path.join(out, "parameter.txt"), "w") as f:
        f.write("Sample_size\t\t\t\t\t%d\n" % N)
        f.write("Number_of_markers\t\t\t%d\n" % M)
        f.write("Max_retain\t\t\t\t\t3\n")
        f.write("FDR_cutoff_for_candidate_locus_combinations\t0.75\n")
        f.write("Number_of_permutation\t\t%d\n" % PERMUTATIONS)
        f.write("How_many_imputation_to_deal_with_missing\t\t\t1\n")
        f.write("Best_m\t\t\t\t\t\t5\n")
    with open(os.path.join(out, "Chromosome_SNP_Length.txt"), "w") as f:
        f.write(" ".join(["%d" % M] + ["1"] * 25) + "\n")
    with open(os.path.join(out, "cc555k_map", "cc555k_chr1.snps"), "w") as f:
        for j in range(M):
            f.write("1 %d rs%d A G 0 0 0\n" % (1000 * (j + 1), 1001 + j))


if __name__ == "__main__":
    main()
