#!/usr/bin/env python3
"""Write a synthetic reference panel and case/control study for benchmarks.

Usage: make_input.py OUTDIR [--seed N] [--ref-markers N] [--haplotypes N]
                            [--chip-markers N] [--cases N] [--controls N]

Defaults are the program's built-in sizes for chromosome 7: 143,232
reference markers, 120 reference haplotypes, 29,772 chip markers, 276 cases
and 271 controls.  Output files in OUTDIR:

  hapmap.hap    one line per reference haplotype, codes "1"/"0"/"?" separated
                by single blanks, no header
  hapmap.map    header of four tokens, then "name position letter0 letter1"
  normal.map    per chip marker: "7 index name letter4 letter5 position 0 0"
  disease.map   copy of normal.map
  disease.geno  one line per case:    "ID word2 " + "X Y " per chip marker
  normal.geno   one line per control: same layout
  inputs.ok     written last; names the sizes and seed (completion stamp)

The data are blocky, not realistic: haplotypes are mosaics of a few random
founder haplotypes with a little noise, so allele frequencies vary from
marker to marker and a few markers are monomorphic.  Chip markers are a
sorted random subset of the reference markers (never reference marker 0,
so no chip index coincides with its reference index) and carry the same
names.  Most chip markers repeat the reference letters in the same order;
about 0.5% list them swapped and about 0.1% list the complementary
strand, in either order (their genotype letters are complemented too).
About 1% of the study genotypes are missing ("0 0").  Everything derives
from one seeded generator, so the same arguments give byte-identical files.
"""

import argparse
import os
import sys
import time
from operator import itemgetter

import random

COMPLEMENT = {"A": "T", "T": "A", "C": "G", "G": "C"}
# Ordered reference letter pairs; transitions are listed twice so that they
# are drawn more often, as on real chips.
LETTER_PAIRS = [
    ("A", "G"), ("G", "A"), ("C", "T"), ("T", "C"),
    ("A", "G"), ("G", "A"), ("C", "T"), ("T", "C"),
    ("A", "C"), ("C", "A"), ("G", "T"), ("T", "G"),
    ("A", "T"), ("T", "A"), ("C", "G"), ("G", "C"),
]
N_FOUNDERS = 8
PANEL_FLIP_RATE = 0.002      # per panel allele, after mosaicking
PANEL_UNKNOWN_RATE = 0.0002  # per panel allele written as "?"
STUDY_FLIP_RATE = 0.002      # per study allele, after mosaicking
MISSING_RATE = 0.01          # per study genotype written as "0 0"
SWAP_RATE = 0.005            # chip markers listing the two letters swapped
STRAND_RATE = 0.001          # chip markers listing the complementary strand


def log(msg):
    print(msg, file=sys.stderr, flush=True)


def random_bits(rng, n):
    """A str of n random '0'/'1' characters."""
    return format(rng.getrandbits(n), "0%db" % n) if n else ""


def mosaic(rng, sources, length, min_seg, max_seg):
    """Concatenate random segments of the equally long strings in sources."""
    parts = []
    pos = 0
    while pos < length:
        end = min(length, pos + rng.randint(min_seg, max_seg))
        parts.append(rng.choice(sources)[pos:end])
        pos = end
    return "".join(parts)


def perturb(rng, hap, flip_rate, unknown_rate=0.0):
    """Flip about flip_rate of the bits and set about unknown_rate to '?'."""
    n = len(hap)
    chars = list(hap)
    for i in rng.sample(range(n), int(n * flip_rate)):
        chars[i] = "1" if chars[i] == "0" else "0"
    for i in rng.sample(range(n), int(n * unknown_rate)):
        chars[i] = "?"
    return "".join(chars)


def write_lines(path, lines):
    with open(path, "w", newline="\n") as f:
        for line in lines:
            f.write(line)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("outdir")
    ap.add_argument("--seed", type=int, default=20240607)
    ap.add_argument("--ref-markers", type=int, default=143232)
    ap.add_argument("--haplotypes", type=int, default=120)
    ap.add_argument("--chip-markers", type=int, default=29772)
    ap.add_argument("--cases", type=int, default=276)
    ap.add_argument("--controls", type=int, default=271)
    args = ap.parse_args(argv)

    n_ref, n_hap, n_chip = args.ref_markers, args.haplotypes, args.chip_markers
    if n_ref < 2 or n_hap < 1 or n_chip < 1 or n_chip >= n_ref:
        ap.error("need ref-markers >= 2, haplotypes >= 1, "
                 "1 <= chip-markers < ref-markers")
    if args.cases < 0 or args.controls < 0:
        ap.error("sample counts must not be negative")
    if max(args.cases, args.controls) > 99999:
        ap.error("sample counts above 99999 do not fit the 8-character IDs")

    out = args.outdir
    os.makedirs(out, exist_ok=True)
    stamp = os.path.join(out, "inputs.ok")
    if os.path.exists(stamp):
        os.remove(stamp)
    rng = random.Random(args.seed)
    t_start = time.monotonic()

    # Reference map: unique rs names, increasing positions, letter pairs.
    names = ["rs%d" % v for v in rng.sample(range(1000, 10 ** 9), n_ref)]
    positions = []
    pos = 10000
    for _ in range(n_ref):
        pos += rng.randint(1, 2200)
        positions.append(pos)
    letters = [rng.choice(LETTER_PAIRS) for _ in range(n_ref)]
    write_lines(os.path.join(out, "hapmap.map"),
                ["SNP position allele0 allele1\n"] +
                ["%s %d %s %s\n" % (names[j], positions[j],
                                    letters[j][0], letters[j][1])
                 for j in range(n_ref)])

    # Reference haplotypes.
    founders = [random_bits(rng, n_ref) for _ in range(N_FOUNDERS)]
    with open(os.path.join(out, "hapmap.hap"), "w", newline="\n") as f:
        for _ in range(n_hap):
            hap = mosaic(rng, founders, n_ref, 50, 2000)
            hap = perturb(rng, hap, PANEL_FLIP_RATE, PANEL_UNKNOWN_RATE)
            f.write(" ".join(hap))
            f.write("\n")
    log("reference panel written (%.1f s)" % (time.monotonic() - t_start))

    # Chip markers: sorted subset of reference indices 1..n_ref-1.
    chip = sorted(rng.sample(range(1, n_ref), n_chip))
    chip_letters = []   # (letter4, letter5) as written in the study map
    strand = []         # True where the study lists the complementary strand
    for j in chip:
        r0, r1 = letters[j]
        u = rng.random()
        complementary_pair = COMPLEMENT[r0] == r1
        if u < SWAP_RATE:
            chip_letters.append((r1, r0))
            strand.append(False)
        elif u < SWAP_RATE + STRAND_RATE and not complementary_pair:
            c0, c1 = COMPLEMENT[r0], COMPLEMENT[r1]
            chip_letters.append((c0, c1) if rng.random() < 0.5 else (c1, c0))
            strand.append(True)
        else:
            chip_letters.append((r0, r1))
            strand.append(False)
    map_lines = ["7 %d %s %s %s %d 0 0\n" % (k + 1, names[j],
                                             chip_letters[k][0],
                                             chip_letters[k][1],
                                             positions[j])
                 for k, j in enumerate(chip)]
    write_lines(os.path.join(out, "normal.map"), map_lines)
    write_lines(os.path.join(out, "disease.map"), map_lines)

    # Genotype text per chip marker, indexed by 2*a + b for the reference
    # codes a, b of the two alleles; letters in the study's strand.
    pair_text = []
    for k, j in enumerate(chip):
        l0, l1 = letters[j]
        if strand[k]:
            l0, l1 = COMPLEMENT[l0], COMPLEMENT[l1]
        pair_text.append((l0 + " " + l0 + " ", l0 + " " + l1 + " ",
                          l1 + " " + l0 + " ", l1 + " " + l1 + " "))

    chip_of = itemgetter(*chip)
    founders_chip = ["".join(chip_of(h)) if n_chip > 1 else chip_of(h)
                     for h in founders]
    del founders
    # '0'/'1' -> byte 0/2 for the first allele and 0/1 for the second, so
    # adding the two as big integers gives 2*a + b per byte without carries.
    first_tab = bytes.maketrans(b"01", b"\x00\x02")
    second_tab = bytes.maketrans(b"01", b"\x00\x01")
    n_missing = int(round(n_chip * MISSING_RATE))

    def study_file(path, n_samples, prefix, word2):
        with open(path, "w", newline="\n") as f:
            for s in range(n_samples):
                ha = mosaic(rng, founders_chip, n_chip, 20, 500)
                hb = mosaic(rng, founders_chip, n_chip, 20, 500)
                ha = perturb(rng, ha, STUDY_FLIP_RATE)
                hb = perturb(rng, hb, STUDY_FLIP_RATE)
                ia = int.from_bytes(ha.encode().translate(first_tab), "big")
                ib = int.from_bytes(hb.encode().translate(second_tab), "big")
                idx = (ia + ib).to_bytes(n_chip, "big")
                cells = [t[i] for t, i in zip(pair_text, idx)]
                for m in rng.sample(range(n_chip), n_missing):
                    cells[m] = "0 0 "
                f.write("%s%05d %s " % (prefix, s + 1, word2))
                f.write("".join(cells))
                f.write("\n")

    study_file(os.path.join(out, "disease.geno"), args.cases, "CA", "case")
    study_file(os.path.join(out, "normal.geno"), args.controls, "CO", "control")

    with open(stamp, "w") as f:
        f.write("seed=%d ref_markers=%d haplotypes=%d chip_markers=%d "
                "cases=%d controls=%d\n" % (args.seed, n_ref, n_hap, n_chip,
                                            args.cases, args.controls))
    log("inputs written to %s in %.1f s" % (out, time.monotonic() - t_start))
    return 0


if __name__ == "__main__":
    sys.exit(main())
