#!/usr/bin/env python3
"""Quality control of the chip genotypes, from the statistics bcftools
computes (bcftools stats per sample, +fill-tags per marker).

    qc.py samples --cases CASES --min-call-rate X --out DIR MISSING.tsv...
        MISSING.tsv: one chromosome's `SAMPLE MISSING MARKERS` (from the
        PSC lines of bcftools stats -s -). Writes DIR/samples.tsv (every
        sample: status, call rate over all chromosomes, why removed),
        DIR/removed-samples.txt and DIR/controls.txt (the kept controls).
    qc.py markers --chromosome C --stats ALL.tsv --hwe HWE.tsv
                  --min-call-rate X --min-hwe-p P --min-maf M --out DIR
        ALL.tsv: `CHROM POS ID REF ALT F_MISSING MAF` of the kept samples,
        HWE.tsv: the same markers' HWE p-value in the kept controls. Writes
        DIR/markers.tsv (every chip marker, its statistics and why removed)
        and DIR/exclude.tsv (CHROM POS of the removed markers).

A marker or sample is removed for the first reason that applies; NA
statistics remove nothing. Files are written under a temporary name and
renamed when complete.
"""
import argparse
import math
import os


def write(path, lines):
    partial = path + ".partial"
    with open(partial, "w") as f:
        f.writelines(lines)
    os.replace(partial, path)


def number(text):
    try:
        value = float(text)
    except ValueError:
        return None
    return value if math.isfinite(value) else None


def fmt(value):
    return "NA" if value is None else f"{value:.6g}"


def samples(args):
    with open(args.cases) as f:
        cases = {line.strip() for line in f if line.strip()}
    missing, markers, order = {}, {}, []
    for path in args.missing:
        with open(path) as f:
            for line in f:
                sample, miss, count = line.split("\t")
                if sample not in missing:
                    order.append(sample)
                    missing[sample], markers[sample] = 0, 0
                missing[sample] += int(miss)
                markers[sample] += int(count)
    rows, removed, controls = ["SAMPLE\tSTATUS\tMISSING\tMARKERS\tCALL_RATE\tREMOVED\n"], [], []
    for sample in order:
        rate = 1 - missing[sample] / markers[sample] if markers[sample] else None
        reason = f"call rate < {args.min_call_rate:g}" if rate is not None and rate < args.min_call_rate else ""
        status = "case" if sample in cases else "control"
        rows.append(f"{sample}\t{status}\t{missing[sample]}\t{markers[sample]}\t{fmt(rate)}\t{reason or '.'}\n")
        if reason:
            removed.append(sample + "\n")
        elif status == "control":
            controls.append(sample + "\n")
    write(os.path.join(args.out, "samples.tsv"), rows)
    write(os.path.join(args.out, "removed-samples.txt"), removed)
    write(os.path.join(args.out, "controls.txt"), controls)


def marker_reason(call_rate, hwe, maf, args):
    if call_rate is not None and call_rate < args.min_call_rate:
        return f"call rate < {args.min_call_rate:g}"
    if hwe is not None and hwe < args.min_hwe_p:
        return f"HWE p < {args.min_hwe_p:g} in controls"
    if maf is not None and maf < args.min_maf:
        return f"MAF < {args.min_maf:g}"
    return ""


def markers(args):
    with open(args.stats) as f:
        stats = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    with open(args.hwe) as f:
        hwe = [line.strip() for line in f if line.strip()]
    if hwe and len(hwe) != len(stats):
        raise SystemExit(f"qc.py: {args.hwe} has {len(hwe)} markers, {args.stats} {len(stats)}")
    rows = ["CHR\tPOS\tSNP\tA1\tA2\tCALL_RATE\tMAF\tHWE_P_CONTROLS\tREMOVED\n"]
    exclude = []
    for i, (contig, pos, snp, ref, alt, f_missing, maf_text) in enumerate(stats):
        missing = number(f_missing)
        call_rate = None if missing is None else 1 - missing
        maf = number(maf_text)
        p = number(hwe[i]) if hwe else None
        reason = marker_reason(call_rate, p, maf, args)
        rows.append(f"{args.chromosome}\t{pos}\t{snp}\t{ref}\t{alt}\t{fmt(call_rate)}\t{fmt(maf)}\t{fmt(p)}\t"
                    f"{reason or '.'}\n")
        if reason:
            exclude.append(f"{contig}\t{pos}\n")
    write(os.path.join(args.out, "markers.tsv"), rows)
    write(os.path.join(args.out, "exclude.tsv"), exclude)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    s = commands.add_parser("samples")
    s.add_argument("--cases", required=True)
    s.add_argument("--min-call-rate", type=float, required=True)
    s.add_argument("--out", required=True)
    s.add_argument("missing", nargs="+")
    m = commands.add_parser("markers")
    for option in ("--chromosome", "--stats", "--hwe", "--out"):
        m.add_argument(option, required=True)
    for option in ("--min-call-rate", "--min-hwe-p", "--min-maf"):
        m.add_argument(option, type=float, required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    samples(args) if args.command == "samples" else markers(args)


if __name__ == "__main__":
    main()
