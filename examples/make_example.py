#!/usr/bin/env python3
"""Generate the small example data set shipped in examples/.

One 1 Mb region with coalescent linkage disequilibrium is simulated with
scrm (520 haplotypes in a single run).  The first 120 haplotypes form the
phased reference panel, the remaining 400 are paired into 200 study
individuals who are typed at ~400 chip markers and split into 100 cases and
100 controls by a risk score driven by one untyped causal marker.

A few deliberate defects are written into the data so that the input
checking of snp-impute gets exercised (see README.md for the list).

Usage:  python3 make_example.py [OUTPUT_DIR]     (default: this directory)

Everything is driven by fixed seeds, so re-running reproduces the files
byte for byte (given the same scrm version, 1.7.4 was used).
"""

import math
import os
import random
import subprocess
import sys

# --- simulation settings -------------------------------------------------
SCRM = "scrm"
SCRM_SEED = 20240607
N_REF_HAP = 120
N_STUDY_HAP = 400
THETA = 373.0          # gives roughly 2000 sites polymorphic in the panel
RHO = 400.0            # 4*Ne*r over the region (Ne=1e4, 1 cM/Mb)
REGION_BP = 1000000
NSITES = REGION_BP

PY_SEED = 7031
CHROM = 7
N_CHIP = 400           # chip markers in total, the two unusual ones included
MIN_CHIP_MAF = 0.05
N_CASE = 100
N_CONTROL = 100
CAUSAL_LOG_OR = math.log(3.0)
REF_MISSING_RATE = 0.001
GENO_MISSING_RATE = 0.005
N_HALF_MISSING = 3

EXTRA_NAME = "rs9999999"
FIRST_RS = 1000001

COMPLEMENT = {"A": "T", "C": "G", "G": "C", "T": "A"}


def run_scrm():
    cmd = [SCRM, str(N_REF_HAP + N_STUDY_HAP), "1", "-t", str(THETA),
           "-r", str(RHO), str(NSITES), "-seed", str(SCRM_SEED), "-p", "10"]
    out = subprocess.run(cmd, check=True, capture_output=True,
                         text=True).stdout
    lines = out.splitlines()
    i = lines.index("//")
    nseg = int(lines[i + 1].split()[1])
    positions = [float(x) for x in lines[i + 2].split()[1:]]
    haps = lines[i + 3:i + 3 + N_REF_HAP + N_STUDY_HAP]
    assert len(positions) == nseg
    assert len(haps) == N_REF_HAP + N_STUDY_HAP
    assert all(len(h) == nseg for h in haps)
    return cmd, positions, haps


def to_bp(positions):
    """Map scrm's [0,1) positions to strictly increasing 1-based integers."""
    bp = []
    last = 0
    for p in positions:
        x = int(p * REGION_BP) + 1
        if x <= last:
            x = last + 1
        bp.append(x)
        last = x
    return bp


def allele_pair(rng):
    a, b = rng.sample("ACGT", 2)
    return a, b


def is_strand_ambiguous(a, b):
    return COMPLEMENT[a] == b


def main():
    outdir = (sys.argv[1] if len(sys.argv) > 1
              else os.path.dirname(os.path.abspath(__file__)))
    os.makedirs(outdir, exist_ok=True)
    rng = random.Random(PY_SEED)

    cmd, positions, haps = run_scrm()
    nsite = len(positions)
    bp = to_bp(positions)
    ref = haps[:N_REF_HAP]
    study = haps[N_REF_HAP:]

    ref_count = [sum(h[s] == "1" for h in ref) for s in range(nsite)]
    study_count = [sum(h[s] == "1" for h in study) for s in range(nsite)]

    def ref_maf(s):
        c = ref_count[s]
        return min(c, N_REF_HAP - c) / N_REF_HAP

    polymorphic = [s for s in range(nsite) if 0 < ref_count[s] < N_REF_HAP]

    # Site absent from the panel (all 0 there) but present at low frequency
    # among study haplotypes: it enters the panel as a monomorphic marker.
    mono_cands = [s for s in range(nsite)
                  if ref_count[s] == 0 and 4 <= study_count[s] <= 12
                  and 0.3 * nsite < s < 0.7 * nsite]
    mono_site = rng.choice(mono_cands)

    # Untyped causal site: common, near the middle, not on the chip.
    causal_cands = [s for s in polymorphic
                    if 0.18 <= ref_count[s] / N_REF_HAP <= 0.35
                    and 0.4 * REGION_BP < bp[s] < 0.6 * REGION_BP]
    causal_site = rng.choice(causal_cands)

    # Chip-only marker: a common site that is taken out of the panel.
    eligible = [s for s in polymorphic
                if ref_maf(s) >= MIN_CHIP_MAF and s != causal_site
                and abs(bp[s] - bp[causal_site]) > 2000]
    extra_site = rng.choice(eligible[len(eligible) // 5:4 * len(eligible) // 5])
    eligible.remove(extra_site)

    ref_sites = sorted(set(polymorphic) - {extra_site} | {mono_site})

    # Regular chip markers, evenly spread over the eligible ones.
    n_regular = N_CHIP - 2
    e = len(eligible)
    chip_regular = sorted({eligible[round(i * (e - 1) / (n_regular - 1))]
                           for i in range(n_regular)})
    assert len(chip_regular) == n_regular
    chip_sites = sorted(chip_regular + [mono_site, extra_site])

    # Names and alleles.  scrm's 0/1 become coded 0/1 in the panel.
    name = {}
    for k, s in enumerate(ref_sites):
        name[s] = "rs%d" % (FIRST_RS + k)
    name[extra_site] = EXTRA_NAME
    letters = {s: allele_pair(rng) for s in sorted(set(ref_sites) | {extra_site})}

    # Chip markers whose map entry is deliberately inconsistent with the panel.
    pool = [s for s in chip_regular if not is_strand_ambiguous(*letters[s])]
    rng.shuffle(pool)
    swapped = sorted(pool[:3])
    flipped = sorted(pool[3:6])
    # flipped[0], flipped[2]: complement in the panel's order;
    # flipped[1]: complement and in the opposite order.
    flipped_swapped = {flipped[1]}

    # --- reference panel ---------------------------------------------------
    ref_rows = [[h[s] for s in ref_sites] for h in ref]
    # Sprinkle missing alleles, never erasing the last copy of an allele.
    col_of = {s: j for j, s in enumerate(ref_sites)}
    n_missing_ref = round(REF_MISSING_RATE * N_REF_HAP * len(ref_sites))
    placed = 0
    while placed < n_missing_ref:
        i = rng.randrange(N_REF_HAP)
        j = rng.randrange(len(ref_sites))
        s = ref_sites[j]
        if s == mono_site or ref_rows[i][j] == "?":
            continue
        col = [r[j] for r in ref_rows]
        if col.count(ref_rows[i][j]) < 3:
            continue
        ref_rows[i][j] = "?"
        placed += 1
    with open(os.path.join(outdir, "hapmap.hap"), "w") as f:
        for r in ref_rows:
            f.write(" ".join(r) + "\n")
    with open(os.path.join(outdir, "hapmap.map"), "w") as f:
        f.write("rsID position allele0 allele1\n")
        for s in ref_sites:
            a0, a1 = letters[s]
            f.write("%s %d %s %s\n" % (name[s], bp[s], a0, a1))

    # --- chip map -----------------------------------------------------------
    # chip_letters[s] = (letter for coded 0, letter for coded 1) as written
    # into the genotype files; map_fields[s] = (field 4, field 5).
    chip_letters = {}
    map_fields = {}
    for s in chip_sites:
        a0, a1 = letters[s]
        if s in flipped:
            a0, a1 = COMPLEMENT[a0], COMPLEMENT[a1]
        chip_letters[s] = (a0, a1)
        if s in swapped or s in flipped_swapped:
            map_fields[s] = (a1, a0)
        else:
            map_fields[s] = (a0, a1)
    map_text = "".join(
        "%d %d %s %s %s %d 0 0\n" % (CHROM, k + 1, name[s], map_fields[s][0],
                                     map_fields[s][1], bp[s])
        for k, s in enumerate(chip_sites))
    for fn in ("normal.map", "disease.map"):
        with open(os.path.join(outdir, fn), "w") as f:
            f.write(map_text)

    # --- study individuals --------------------------------------------------
    n_ind = N_STUDY_HAP // 2
    assert n_ind == N_CASE + N_CONTROL
    score = []
    for i in range(n_ind):
        g = (study[2 * i][causal_site] == "1") + (study[2 * i + 1][causal_site] == "1")
        u = rng.random()
        score.append(CAUSAL_LOG_OR * g + math.log(u / (1.0 - u)))
    order = sorted(range(n_ind), key=lambda i: -score[i])
    cases = sorted(order[:N_CASE])
    controls = sorted(order[N_CASE:])

    def genotype(i, s):
        a0, a1 = chip_letters[s]
        x = [a1 if study[2 * i + k][s] == "1" else a0 for k in (0, 1)]
        rng.shuffle(x)   # unphased: allele order carries no information
        return x

    groups = [("disease.geno", "CASE", "1", cases),
              ("normal.geno", "CTRL", "0", controls)]
    geno = {}
    for fn, prefix, status, members in groups:
        for k, i in enumerate(members):
            geno[(fn, k)] = [genotype(i, s) for s in chip_sites]

    # Missing genotypes spread over both files, plus a few half-missing ones.
    cells = [(fn, k, j) for fn, _, _, m in groups for k in range(len(m))
             for j in range(len(chip_sites))]
    n_miss = round(GENO_MISSING_RATE * len(cells))
    picked = rng.sample(cells, n_miss + N_HALF_MISSING)
    half_missing = []
    for fn, k, j in picked[:n_miss]:
        geno[(fn, k)][j] = ["0", "0"]
    for fn, k, j in picked[n_miss:]:
        g = geno[(fn, k)][j]
        g[rng.randrange(2)] = "0"
        half_missing.append((fn, k, j))

    ids = {}
    for fn, prefix, status, members in groups:
        with open(os.path.join(outdir, fn), "w") as f:
            for k in range(len(members)):
                ids[(fn, k)] = "%s%03d" % (prefix, k + 1)
                f.write("%s %s " % (ids[(fn, k)], status))
                f.write("".join("%s %s " % tuple(g) for g in geno[(fn, k)]))
                f.write("\n")

    # --- parameter file -----------------------------------------------------
    params = [
        ("current_chr", CHROM),
        ("population_marker", len(ref_sites)),
        ("population_sample", N_REF_HAP),
        ("typed_marker", len(chip_sites)),
        ("ncase", N_CASE),
        ("ncontrol", N_CONTROL),
        ("calling_genotype_threshood", "0.33"),
        ("Path_reference_datadirectory", "./examples"),
        ("Path_study_datadirectory", "./examples"),
        ("Reference_data_file", "hapmap.hap"),
        ("Reference_data_mapfile", "hapmap.map"),
        ("Disease_data_file", "disease.geno"),
        ("Disease_data_mapfile", "disease.map"),
        ("Normal_data_file", "normal.geno"),
        ("Normal_data_mapfile", "normal.map"),
        ("Imputation_result_data_file", "imputation_results.txt"),
        ("first_marker", 1),
        ("last_marker", len(ref_sites)),
    ]
    with open(os.path.join(outdir, "parameter.txt"), "w") as f:
        for k, v in params:
            f.write("%s %s\n" % (k, v))

    # --- summary ------------------------------------------------------------
    def describe(s):
        return "%s (%d, panel %s/%s, chip map %s %s)" % (
            name[s], bp[s], letters[s][0], letters[s][1], *map_fields[s])

    print("command: " + " ".join(cmd))
    print("scrm segregating sites: %d" % nsite)
    print("reference markers: %d   chip markers: %d" % (len(ref_sites),
                                                         len(chip_sites)))
    print("missing reference alleles: %d" % n_missing_ref)
    print("missing study genotypes: %d (+%d half-missing)" % (n_miss,
                                                             N_HALF_MISSING))
    for fn, k, j in half_missing:
        print("  half-missing: %s %s %s %s" % (fn, ids[(fn, k)],
                                              name[chip_sites[j]],
                                              " ".join(geno[(fn, k)][j])))
    print("swapped:", "; ".join(describe(s) for s in swapped))
    print("strand-flipped:", "; ".join(
        describe(s) + (" +swapped" if s in flipped_swapped else "")
        for s in flipped))
    print("chip-only: %s (%d, chip map %s %s)" % (
        EXTRA_NAME, bp[extra_site], *map_fields[extra_site]))
    print("monomorphic in panel:", describe(mono_site),
          "study allele-1 count %d/%d" % (study_count[mono_site], N_STUDY_HAP))
    cg = [(study[2 * i][causal_site] == "1") + (study[2 * i + 1][causal_site] == "1")
          for i in range(n_ind)]
    print("causal (untyped): %s (%d), panel freq of %s %.3f, "
          "allele-%s count cases %d/200 controls %d/200" % (
              name[causal_site], bp[causal_site], letters[causal_site][1],
              ref_count[causal_site] / N_REF_HAP, letters[causal_site][1],
              sum(cg[i] for i in cases), sum(cg[i] for i in controls)))


if __name__ == "__main__":
    main()
