#!/usr/bin/env python3
"""Splits a phased VCF of one chromosome into an imputation bench data set.

    real_split.py SOURCE.vcf.gz OUTDIR [--seed N] [--chip-density F]
        [--region START-END] [--panel N] [--study N] [--chip-maf F]

From the biallelic SNPs of the region (1-based positions, both ends
included) whose genotypes are phased and complete, it draws (seeded):
  - the panel: --panel individuals (their phased haplotypes);
  - the study: --study individuals among the others (fewer when the file
    has fewer; the count is reported), in the file's sample order;
  - the markers: the SNPs polymorphic in the panel (a marker the panel
    does not vary at cannot be imputed from it; the others are counted);
  - the chip: round(--chip-density x markers) markers drawn among those
    with panel minor allele frequency >= --chip-maf;
  - the cases: half of the study individuals (rounded down).
and writes to OUTDIR:
  panel.vcf      the panel's phased genotypes at the markers
  study.vcf      the study's genotypes at the chip markers, phase removed
  cases.txt      one case ID per line
  truth.vcf.gz   the study's genotypes at all markers, phase removed
  chip.txt       the chip markers: CHROM POS REF ALT, one per line
  split.txt      the settings, the samples and the counts
Panel and study are plain text (the converter reads plain or bgzipped VCF,
not gzip).  The same source and arguments give the same files.  Standard library only.
"""
import argparse
import gzip
import os
import random
import sys


def parse_region(text):
    try:
        start, end = (int(x) for x in text.split("-"))
    except ValueError:
        raise argparse.ArgumentTypeError("region must be START-END (base positions)")
    if start < 1 or end < start:
        raise argparse.ArgumentTypeError("region must have 1 <= START <= END")
    return start, end


def open_text(path, mode="rt"):
    if path.endswith(".gz"):
        return gzip.open(path, mode, compresslevel=6) if "w" in mode else gzip.open(path, mode)
    return open(path, mode)


def read_source(path, start, end):
    """Returns (chrom, samples, sites, skipped); a site is
    (pos, id, ref, alt, [allele pairs per sample])."""
    samples, sites, chrom = None, [], None
    skipped = {"not a biallelic SNP": 0, "unphased or missing genotype": 0,
               "repeated position": 0, "other chromosome": 0}
    bases = set("ACGT")
    last_pos = None
    with open_text(path) as f:
        for line in f:
            if line.startswith("##"):
                continue
            if line.startswith("#CHROM"):
                samples = line.rstrip("\n").split("\t")[9:]
                continue
            fields = line.rstrip("\n").split("\t")
            pos = int(fields[1])
            if pos < start or pos > end:
                continue
            if chrom is None:
                chrom = fields[0]
            elif fields[0] != chrom:
                skipped["other chromosome"] += 1
                continue
            ref, alt = fields[3].upper(), fields[4].upper()
            if ref not in bases or alt not in bases or ref == alt:
                skipped["not a biallelic SNP"] += 1
                continue
            if pos == last_pos:
                skipped["repeated position"] += 1
                continue
            gts = []
            for cell in fields[9:]:
                gt = cell.split(":", 1)[0]
                if len(gt) != 3 or gt[1] != "|" or gt[0] not in "01" or gt[2] not in "01":
                    gts = None
                    break
                gts.append((int(gt[0]), int(gt[2])))
            if gts is None:
                skipped["unphased or missing genotype"] += 1
                continue
            last_pos = pos
            sites.append((pos, fields[2], ref, alt, gts))
    if samples is None:
        sys.exit("real_split.py: %s has no #CHROM header line" % path)
    return chrom, samples, sites, skipped


def vcf_header(chrom, samples, source):
    return ("##fileformat=VCFv4.2\n"
            "##source=real_split.py from %s\n"
            "##contig=<ID=%s>\n"
            '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
            "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t%s\n"
            % (source, chrom, "\t".join(samples)))


def write_vcf(path, chrom, samples, columns, sites, phased, source):
    sep = "|" if phased else "/"
    with open_text(path, "wt") as f:
        f.write(vcf_header(chrom, samples, source))
        for pos, sid, ref, alt, gts in sites:
            if phased:
                cells = ("%d|%d" % gts[c] for c in columns)
            else:
                cells = ("%d%s%d" % (min(gts[c]), sep, max(gts[c])) for c in columns)
            f.write("%s\t%d\t%s\t%s\t%s\t.\t.\t.\tGT\t%s\n"
                    % (chrom, pos, sid, ref, alt, "\t".join(cells)))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("source")
    ap.add_argument("outdir")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--chip-density", type=float, default=0.2)
    ap.add_argument("--region", type=parse_region, default=(1000000, 4000000))
    ap.add_argument("--panel", type=int, default=60)
    ap.add_argument("--study", type=int, default=240)
    ap.add_argument("--chip-maf", type=float, default=0.05)
    a = ap.parse_args()
    if not 0 < a.chip_density < 1:
        ap.error("--chip-density must be between 0 and 1")
    if a.panel < 1 or a.study < 2:
        ap.error("--panel must be >= 1 and --study >= 2")

    os.makedirs(a.outdir, exist_ok=True)
    chrom, samples, sites, skipped = read_source(a.source, *a.region)
    if not sites:
        sys.exit("real_split.py: no biallelic phased SNP in region %d-%d" % a.region)
    if len(samples) <= a.panel + 1:
        sys.exit("real_split.py: %d samples: too few for a panel of %d and a study"
                 % (len(samples), a.panel))

    rng = random.Random(a.seed)
    order = list(range(len(samples)))
    rng.shuffle(order)
    panel_cols = sorted(order[:a.panel])
    study_cols = sorted(order[a.panel:a.panel + a.study])
    panel_ids = [samples[c] for c in panel_cols]
    study_ids = [samples[c] for c in study_cols]

    markers, panel_mono = [], 0
    panel_maf = []
    for site in sites:
        count = sum(site[4][c][0] + site[4][c][1] for c in panel_cols)
        if count == 0 or count == 2 * len(panel_cols):
            panel_mono += 1
            continue
        markers.append(site)
        freq = count / (2 * len(panel_cols))
        panel_maf.append(min(freq, 1 - freq))
    common = [i for i, m in enumerate(panel_maf) if m >= a.chip_maf]
    n_chip = round(a.chip_density * len(markers))
    if n_chip > len(common):
        sys.exit("real_split.py: %d chip markers wanted but only %d markers have panel MAF >= %g"
                 % (n_chip, len(common), a.chip_maf))
    chip_idx = sorted(rng.sample(common, n_chip))
    chip = [markers[i] for i in chip_idx]
    cases = sorted(rng.sample(study_ids, len(study_ids) // 2), key=study_ids.index)

    src = os.path.basename(a.source)
    write_vcf(os.path.join(a.outdir, "panel.vcf"), chrom, panel_ids, panel_cols, markers, True, src)
    write_vcf(os.path.join(a.outdir, "study.vcf"), chrom, study_ids, study_cols, chip, False, src)
    write_vcf(os.path.join(a.outdir, "truth.vcf.gz"), chrom, study_ids, study_cols, markers, False, src)
    with open(os.path.join(a.outdir, "cases.txt"), "w") as f:
        f.writelines(s + "\n" for s in cases)
    with open(os.path.join(a.outdir, "chip.txt"), "w") as f:
        f.writelines("%s %d %s %s\n" % (chrom, m[0], m[2], m[3]) for m in chip)

    summary = [
        "source          %s (%d samples)" % (a.source, len(samples)),
        "settings        seed=%d chip_density=%g region=%d-%d panel=%d study=%d chip_maf=%g"
        % (a.seed, a.chip_density, a.region[0], a.region[1], a.panel, a.study, a.chip_maf),
        "chromosome      %s" % chrom,
        "SNPs in region  %d biallelic, phased (%s)"
        % (len(sites), ", ".join("%d %s" % (n, k) for k, n in skipped.items() if n) or "none skipped"),
        "markers         %d polymorphic in the panel (%d monomorphic in it left out)"
        % (len(markers), panel_mono),
        "chip            %d markers (%.1f%%) drawn among %d with panel MAF >= %g"
        % (len(chip), 100 * len(chip) / len(markers), len(common), a.chip_maf),
        "panel           %d individuals, %d haplotypes" % (len(panel_ids), 2 * len(panel_ids)),
        "study           %d individuals%s, %d cases, %d controls"
        % (len(study_ids),
           "" if len(study_ids) == a.study else " (all the file has beyond the panel; %d asked)" % a.study,
           len(cases), len(study_ids) - len(cases)),
        "panel samples   %s" % " ".join(panel_ids),
        "case samples    %s" % " ".join(cases),
    ]
    with open(os.path.join(a.outdir, "split.txt"), "w") as f:
        f.write("\n".join(summary) + "\n")
    print("\n".join(summary[:8]))


if __name__ == "__main__":
    main()
