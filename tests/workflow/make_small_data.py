#!/usr/bin/env python3
"""Writes a small data set for the workflow tests into OUTDIR.

36 reference markers and 16 reference haplotypes, 5 cases and 4 controls
typed on 14 chip markers (13 of them in the panel). The haplotypes are mosaics of four founders, so
neighbouring markers are in linkage disequilibrium and the neighbourhoods
the program picks reach across chunk boundaries. The chip covers reference
markers 4..33 only, so the first three and last three markers lie outside
the typed-marker list. It has a few of the things real files have: missing
reference alleles and study genotypes, a marker whose letters are swapped on
the chip, a strand-flipped one and a chip-only marker.

Prints the counts as lines of YAML for a workflow config. The files are the
same on every run (fixed seed).
"""
import random
import sys

MARKERS = 36
HAPLOTYPES = 16
CASES, CONTROLS = 5, 4
TYPED = [4, 6, 8, 9, 12, 15, 17, 20, 22, 25, 28, 30, 33]  # reference marker numbers
SWAPPED, FLIPPED = 12, 20
CHIP_ONLY_AFTER = 17  # a chip-only marker sits between this one and the next
COMPLEMENT = {"A": "T", "C": "G", "G": "C", "T": "A"}


def main(outdir):
    rng = random.Random(20240808)
    founders = [[rng.randint(0, 1) for _ in range(MARKERS)] for _ in range(4)]

    def mosaic():
        f = rng.randrange(4)
        haplotype = []
        for j in range(MARKERS):
            if rng.random() < 0.15:
                f = rng.randrange(4)
            allele = founders[f][j]
            haplotype.append(1 - allele if rng.random() < 0.03 else allele)
        return haplotype

    reference = [mosaic() for _ in range(HAPLOTYPES)]
    study = [(mosaic(), mosaic()) for _ in range(CASES + CONTROLS)]
    pairs = ["AG", "CT", "AC", "GT", "AT", "CG"]
    letters = [pairs[rng.randrange(len(pairs))] for _ in range(MARKERS)]

    with open(f"{outdir}/hapmap.map", "w") as f:
        f.write("rsID position allele0 allele1\n")
        for j in range(MARKERS):
            f.write(f"rs{700 + j} {1000 + 250 * j} {letters[j][0]} {letters[j][1]}\n")
    with open(f"{outdir}/hapmap.hap", "w") as f:
        for h, haplotype in enumerate(reference):
            codes = [str(a) for a in haplotype]
            if h in (3, 11):
                codes[rng.randrange(MARKERS)] = "?"
            f.write(" ".join(codes) + "\n")

    # Chip markers in position order: name, letters on the chip, per individual
    # the two allele letters ("0" when missing).
    chip = []
    for m in TYPED:
        j = m - 1
        a, b = letters[j]
        if m == FLIPPED:
            a, b = COMPLEMENT[a], COMPLEMENT[b]
        shown = (b, a) if m == SWAPPED else (a, b)
        calls = [((a, b)[h1[j]], (a, b)[h2[j]]) for h1, h2 in study]
        chip.append((f"rs{700 + j}", 1000 + 250 * j, shown, calls))
        if m == CHIP_ONLY_AFTER:
            calls = [("C", "C") if rng.random() < 0.6 else ("C", "A") for _ in study]
            chip.append(("rs9999", 1000 + 250 * j + 100, ("C", "A"), calls))
    for name, pos, shown, calls in chip:
        for i in rng.sample(range(len(calls)), 1):
            calls[i] = ("0", "0")

    with open(f"{outdir}/normal.map", "w") as f:
        for k, (name, pos, shown, _) in enumerate(chip):
            f.write(f"1 {k} {name} {shown[0]} {shown[1]} {pos} 0 0\n")
    with open(f"{outdir}/disease.map", "w") as f:
        f.write(open(f"{outdir}/normal.map").read())
    for filename, first, count, label in (("disease.geno", 0, CASES, "CASE"),
                                          ("normal.geno", CASES, CONTROLS, "CTRL")):
        with open(f"{outdir}/{filename}", "w") as f:
            for i in range(first, first + count):
                genotypes = "".join(f"{c[3][i][0]} {c[3][i][1]} " for c in chip)
                f.write(f"{label}{i - first} {1 if label == 'CASE' else 0} {genotypes}\n")

    print(f"reference_markers: {MARKERS}\nreference_haplotypes: {HAPLOTYPES}\n"
          f"study_markers: {len(chip)}\ncases: {CASES}\ncontrols: {CONTROLS}")


if __name__ == "__main__":
    main(sys.argv[1])
