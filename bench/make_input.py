#!/usr/bin/env python3
"""Write a synthetic reference panel and case/control study for benchmarks.

Usage: make_input.py OUTDIR [--seed N] [--ref-markers N] [--haplotypes N]
                            [--chip-markers N] [--cases N] [--controls N]
                            [--ld blocky|scrm] [--segments N] [--jobs N]

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

Two kinds of haplotypes (--ld):

blocky (default)  Not realistic: haplotypes are mosaics of a few random
  founder haplotypes with a little noise, so allele frequencies vary from
  marker to marker and a few markers are monomorphic.  Chip markers are a
  sorted random subset of the reference markers.

scrm  Realistic linkage disequilibrium from the coalescent simulator scrm
  (Debian package scrm; the script stops with a message when it is
  missing).  The chromosome is stitched from --segments independent
  segments (default 30), each one scrm run with recombination over
  5.3 Mb that samples the reference haplotypes and the two haplotypes of
  every study individual together (120 + 1,094 at the default sizes), with
  a fixed seed per segment derived from --seed.  Of the sites segregating
  among the reference haplotypes, each segment keeps a random subset of
  its share of the reference markers (a segment with too few is simulated
  again with the next seed); the allele coded 1 is the derived allele at
  random half of the markers.  Chip markers are evenly spread over the
  markers with minor allele frequency >= 0.05 in the reference panel,
  the same number in every segment.  Up to --jobs scrm runs (default 2)
  work in parallel.

In both modes no chip marker is reference marker 0, so no chip index
coincides with its reference index, and chip markers carry the reference
names.  Most chip markers repeat the reference letters in the same order;
about 0.5% list them swapped and about 0.1% list the complementary strand,
in either order (their genotype letters are complemented too).  About 1% of
the study genotypes are missing ("0 0") and about 0.02% of the panel codes
are "?".  Everything derives from the seed, so the same arguments give
byte-identical files.
"""

import argparse
import concurrent.futures
import math
import os
import shutil
import subprocess
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

# scrm mode.  A segment spans SEGMENT_BP base pairs.  Its recombination
# rate 4*N0*r over the segment is RHO_PER_MARKER times the number of markers
# it keeps, about the rate between neighbouring markers of a dense panel
# (1.1 kb apart at 1.2 cM/Mb with N0 = 10,000).  Its mutation rate is set
# so that about SITE_MARGIN times the markers it keeps segregate among
# the reference haplotypes.
SEGMENT_BP = 5300000
RHO_PER_MARKER = 0.5
SITE_MARGIN = 1.15
SCRM_WINDOW_BP = 100000      # scrm -l: sequential-Markov approximation window
CHIP_MIN_MAF = 0.05          # chip markers: minor allele frequency in panel
MAX_ATTEMPTS = 5             # scrm runs per segment before giving up


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


def picker(indices):
    """A function returning the characters of a str at indices as a str."""
    if len(indices) == 1:
        i = indices[0]
        return lambda s: s[i]
    get = itemgetter(*indices)
    return lambda s: "".join(get(s))


def write_reference_map(out, names, positions, letters):
    write_lines(os.path.join(out, "hapmap.map"),
                ["SNP position allele0 allele1\n"] +
                ["%s %d %s %s\n" % (names[j], positions[j],
                                    letters[j][0], letters[j][1])
                 for j in range(len(names))])


def write_study(out, rng, args, chip, names, positions, letters, haplotypes):
    """Write the study maps and genotype files.

    chip lists the reference indices of the chip markers in order;
    haplotypes(s) returns the two '0'/'1' strings (reference codes at the
    chip markers) of study individual s, cases first.
    """
    n_chip = len(chip)
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

    # '0'/'1' -> byte 0/2 for the first allele and 0/1 for the second, so
    # adding the two as big integers gives 2*a + b per byte without carries.
    first_tab = bytes.maketrans(b"01", b"\x00\x02")
    second_tab = bytes.maketrans(b"01", b"\x00\x01")
    n_missing = int(round(n_chip * MISSING_RATE))

    def study_file(path, first, n_samples, prefix, word2):
        with open(path, "w", newline="\n") as f:
            for s in range(n_samples):
                ha, hb = haplotypes(first + s)
                ia = int.from_bytes(ha.encode().translate(first_tab), "big")
                ib = int.from_bytes(hb.encode().translate(second_tab), "big")
                idx = (ia + ib).to_bytes(n_chip, "big")
                cells = [t[i] for t, i in zip(pair_text, idx)]
                for m in rng.sample(range(n_chip), n_missing):
                    cells[m] = "0 0 "
                f.write("%s%05d %s " % (prefix, s + 1, word2))
                f.write("".join(cells))
                f.write("\n")

    study_file(os.path.join(out, "disease.geno"), 0, args.cases,
               "CA", "case")
    study_file(os.path.join(out, "normal.geno"), args.cases, args.controls,
               "CO", "control")


def blocky_data(out, rng, args, t_start):
    n_ref, n_hap, n_chip = args.ref_markers, args.haplotypes, args.chip_markers

    # Reference map: unique rs names, increasing positions, letter pairs.
    names = ["rs%d" % v for v in rng.sample(range(1000, 10 ** 9), n_ref)]
    positions = []
    pos = 10000
    for _ in range(n_ref):
        pos += rng.randint(1, 2200)
        positions.append(pos)
    letters = [rng.choice(LETTER_PAIRS) for _ in range(n_ref)]
    write_reference_map(out, names, positions, letters)

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
    chip_of = itemgetter(*chip)
    founders_chip = ["".join(chip_of(h)) if n_chip > 1 else chip_of(h)
                     for h in founders]
    del founders

    def haplotypes(_s):
        ha = mosaic(rng, founders_chip, n_chip, 20, 500)
        hb = mosaic(rng, founders_chip, n_chip, 20, 500)
        return (perturb(rng, ha, STUDY_FLIP_RATE),
                perturb(rng, hb, STUDY_FLIP_RATE))

    write_study(out, rng, args, chip, names, positions, letters, haplotypes)


# ------------------------------------------------------------------ scrm

def share(total, parts, k):
    """Size of part k when total is split into parts nearly equal parts."""
    return total * (k + 1) // parts - total * k // parts


def run_scrm(scrm, n_samples, theta, rho, seed):
    cmd = [scrm, str(n_samples), "1", "-t", "%.6g" % theta,
           "-r", "%.6g" % rho, str(SEGMENT_BP), "-l", str(SCRM_WINDOW_BP),
           "-SC", "abs", "-p", "12", "-seed", str(seed)]
    proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          universal_newlines=True)
    if proc.returncode != 0:
        raise RuntimeError("%s failed with status %d: %s"
                           % (" ".join(cmd), proc.returncode,
                              proc.stderr.strip()[-500:]))
    return proc.stdout


def parse_scrm(text, n_samples):
    """(positions as floats, list of n_samples '0'/'1' strings) of one locus."""
    lines = text.split("\n")
    try:
        i = lines.index("//")
    except ValueError:
        raise RuntimeError("scrm output without a sample block")
    head = lines[i + 1].split()
    if len(head) != 2 or head[0] != "segsites:":
        raise RuntimeError("unexpected scrm output line: %r" % lines[i + 1][:80])
    n_sites = int(head[1])
    if n_sites == 0:
        return [], [""] * n_samples
    pos_line = lines[i + 2].split()
    if pos_line[0] != "positions:" or len(pos_line) != n_sites + 1:
        raise RuntimeError("unexpected scrm positions line")
    haps = lines[i + 3:i + 3 + n_samples]
    if len(haps) != n_samples or any(len(h) != n_sites for h in haps):
        raise RuntimeError("scrm output holds fewer than %d haplotypes of %d "
                           "sites" % (n_samples, n_sites))
    return [float(p) for p in pos_line[1:]], haps


def column_counts(rows, n_sites):
    """Number of '1' per column of equally long '0'/'1' strings (< 65536).

    Each row becomes a big integer with one 16-bit lane per column, so the
    sum of the rows holds the column counts without carries between lanes.
    """
    tab = bytes.maketrans(b"01", b"\x00\x01")
    total = 0
    lanes = bytearray(2 * n_sites)
    for row in rows:
        lanes[1::2] = row.encode().translate(tab)
        total += int.from_bytes(lanes, "big")
    raw = total.to_bytes(2 * n_sites, "big")
    return [hi << 8 | lo for hi, lo in zip(raw[0::2], raw[1::2])]


def scrm_data(out, rng, args, t_start):
    n_ref, n_hap, n_chip = args.ref_markers, args.haplotypes, args.chip_markers
    n_study = 2 * (args.cases + args.controls)
    n_samples = n_hap + n_study
    n_seg = args.segments
    scrm = shutil.which(args.scrm)
    if scrm is None:
        log("make_input.py: --ld scrm needs the coalescent simulator scrm, "
            "which was not found (%r is not an executable in PATH); install "
            "it (Debian package 'scrm': apt-get install scrm) or pass --scrm "
            "PATH" % args.scrm)
        return 2
    if n_hap < 2 or n_hap > 65535:
        log("make_input.py: --ld scrm needs 2 to 65535 haplotypes")
        return 2

    # Expected sites segregating among n_hap of the samples: theta * a(n_hap).
    a_hap = sum(1.0 / i for i in range(1, n_hap))
    min_count = math.ceil(CHIP_MIN_MAF * n_hap - 1e-9)
    seeds = random.Random(args.seed ^ 0x5C7A)
    segment_seeds = [seeds.randrange(1, 2 ** 31 - 1) for _ in range(n_seg)]

    def params(k):
        quota = share(n_ref, n_seg, k)
        theta = SITE_MARGIN * max(quota, 1) / a_hap
        return quota, theta, RHO_PER_MARKER * max(quota, 1)

    def simulate(k, attempt):
        quota, theta, rho = params(k)
        seed = (segment_seeds[k] + attempt * 104729) % (2 ** 31 - 1) or 1
        return seed, run_scrm(scrm, n_samples, theta, rho, seed)

    log("scrm: %d segments of %d bp, %d haplotypes each (%d reference, "
        "%d study), %d parallel runs"
        % (n_seg, SEGMENT_BP, n_samples, n_hap, n_study, args.jobs))
    ref_parts = [[] for _ in range(n_hap)]    # per reference haplotype
    study_parts = [[] for _ in range(n_study)]  # chip markers only
    positions = []
    chip = []
    seg_sites = []
    last_pos = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        futures = [pool.submit(simulate, k, 0) for k in range(n_seg)]
        for k in range(n_seg):
            quota, _, _ = params(k)
            chip_quota = share(n_chip, n_seg, k)
            seed, text = futures[k].result()
            futures[k] = None
            for attempt in range(MAX_ATTEMPTS):
                if attempt:
                    seed, text = simulate(k, attempt)
                site_pos, haps = parse_scrm(text, n_samples)
                del text
                counts = column_counts(haps[:n_hap], len(site_pos))
                candidates = [c for c, n in enumerate(counts) if 0 < n < n_hap]
                if len(candidates) < quota:
                    log("segment %d (seed %d): only %d of the %d sites needed "
                        "segregate in the panel; simulating again"
                        % (k + 1, seed, len(candidates), quota))
                    continue
                kept = sorted(rng.sample(candidates, quota))
                base = len(positions)
                eligible = [p for p, c in enumerate(kept)
                            if min_count <= counts[c] <= n_hap - min_count
                            and base + p > 0]
                if len(eligible) < chip_quota:
                    log("segment %d (seed %d): only %d of the %d chip markers "
                        "needed are common; simulating again"
                        % (k + 1, seed, len(eligible), chip_quota))
                    continue
                break
            else:
                raise RuntimeError("segment %d: no usable scrm run in %d "
                                   "attempts" % (k + 1, MAX_ATTEMPTS))
            seg_sites.append(len(site_pos))
            # Integer positions, strictly increasing along the chromosome.
            offset = 10000 + k * SEGMENT_BP
            for c in kept:
                last_pos = max(last_pos + 1, offset + int(site_pos[c]))
                positions.append(last_pos)
            # Evenly spread chip markers among the common ones.
            picks = [eligible[(2 * i + 1) * len(eligible) // (2 * chip_quota)]
                     for i in range(chip_quota)]
            chip.extend(base + p for p in picks)
            # Code the derived allele as 1 at a random half of the markers.
            flip = rng.getrandbits(quota) if quota else 0
            chip_flip = 0
            for p in picks:
                chip_flip = chip_flip << 1 | (flip >> (quota - 1 - p)) & 1
            width = "0%db" % quota
            take = picker(kept) if quota else (lambda s: "")
            for h in range(n_hap):
                row = take(haps[h])
                if quota:
                    row = format(int(row, 2) ^ flip, width)
                ref_parts[h].append(row)
            if chip_quota:
                take_chip = picker([kept[p] for p in picks])
                chip_width = "0%db" % chip_quota
                for h in range(n_study):
                    row = take_chip(haps[n_hap + h])
                    study_parts[h].append(format(int(row, 2) ^ chip_flip,
                                                 chip_width))
            del haps
            log("segment %d/%d: %d sites, %d kept, %d chip (%.1f s)"
                % (k + 1, n_seg, len(site_pos), quota, chip_quota,
                   time.monotonic() - t_start))

    # Reference map: unique rs names, letter pairs.
    names = ["rs%d" % v for v in rng.sample(range(1000, 10 ** 9), n_ref)]
    letters = [rng.choice(LETTER_PAIRS) for _ in range(n_ref)]
    write_reference_map(out, names, positions, letters)
    with open(os.path.join(out, "hapmap.hap"), "w", newline="\n") as f:
        for h in range(n_hap):
            hap = perturb(rng, "".join(ref_parts[h]), 0.0, PANEL_UNKNOWN_RATE)
            ref_parts[h] = None
            f.write(" ".join(hap))
            f.write("\n")
    log("reference panel written (%.1f s)" % (time.monotonic() - t_start))

    study = ["".join(parts) for parts in study_parts]
    del study_parts

    def haplotypes(s):
        return study[2 * s], study[2 * s + 1]

    write_study(out, rng, args, chip, names, positions, letters, haplotypes)
    log("scrm sites per segment: min %d, max %d; positions %d..%d"
        % (min(seg_sites), max(seg_sites), positions[0], positions[-1]))
    return 0


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("outdir")
    ap.add_argument("--seed", type=int, default=20240607)
    ap.add_argument("--ref-markers", type=int, default=143232)
    ap.add_argument("--haplotypes", type=int, default=120)
    ap.add_argument("--chip-markers", type=int, default=29772)
    ap.add_argument("--cases", type=int, default=276)
    ap.add_argument("--controls", type=int, default=271)
    ap.add_argument("--ld", choices=("blocky", "scrm"), default="blocky",
                    help="haplotype model (default blocky)")
    ap.add_argument("--segments", type=int, default=30,
                    help="scrm: independent segments (default 30)")
    ap.add_argument("--jobs", type=int, default=2,
                    help="scrm: parallel scrm runs (default 2)")
    ap.add_argument("--scrm", default="scrm",
                    help="scrm: the simulator's command (default scrm)")
    args = ap.parse_args(argv)

    n_ref, n_hap, n_chip = args.ref_markers, args.haplotypes, args.chip_markers
    if n_ref < 2 or n_hap < 1 or n_chip < 1 or n_chip >= n_ref:
        ap.error("need ref-markers >= 2, haplotypes >= 1, "
                 "1 <= chip-markers < ref-markers")
    if args.cases < 0 or args.controls < 0:
        ap.error("sample counts must not be negative")
    if max(args.cases, args.controls) > 99999:
        ap.error("sample counts above 99999 do not fit the 8-character IDs")
    if args.ld == "scrm":
        if not 1 <= args.segments <= n_chip:
            ap.error("--segments must be between 1 and chip-markers")
        if args.jobs < 1:
            ap.error("--jobs must be at least 1")

    out = args.outdir
    os.makedirs(out, exist_ok=True)
    stamp = os.path.join(out, "inputs.ok")
    if os.path.exists(stamp):
        os.remove(stamp)
    rng = random.Random(args.seed)
    t_start = time.monotonic()

    if args.ld == "blocky":
        blocky_data(out, rng, args, t_start)
        extra = ""
    else:
        try:
            status = scrm_data(out, rng, args, t_start)
        except RuntimeError as e:
            log("make_input.py: %s" % e)
            return 1
        if status:
            return status
        extra = " ld=scrm segments=%d" % args.segments

    with open(stamp, "w") as f:
        f.write("seed=%d ref_markers=%d haplotypes=%d chip_markers=%d "
                "cases=%d controls=%d%s\n" % (args.seed, n_ref, n_hap, n_chip,
                                              args.cases, args.controls,
                                              extra))
    log("inputs written to %s in %.1f s" % (out, time.monotonic() - t_start))
    return 0


if __name__ == "__main__":
    sys.exit(main())
