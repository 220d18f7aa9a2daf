#!/usr/bin/env python3
"""Accuracy, time and memory of several imputers' VCFs of one split, side by side.

    compare_imputers.py TRUTH.vcf.gz CHIP.txt NAME=VCF:TIMEFILE [NAME=VCF:TIMEFILE ...]

Each VCF is scored by score_vcf.py's rules on the markers that are not on
the chip: GT concordance, non-reference concordance, and the dosage r2
(squared correlation of DS with the true ALT count), both as the mean of
the per-marker r2 ("mean") and over all genotypes of the markers pooled
("pooled"), for all imputed markers and per minor allele frequency bin of
the truth.  TIMEFILE is a GNU time -v report; time and peak memory are
also given as ratios to the first imputer's.
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import score_vcf  # noqa: E402

BINS = [("1-5%", 0.01, 0.05), ("5-20%", 0.05, 0.20), ("20-50%", 0.20, 0.5000001)]


def time_report(path):
    text = open(path).read()
    wall = re.search(r"Elapsed \(wall clock\) time.*: (\S+)", text).group(1)
    seconds = 0.0
    for part in wall.split(":"):
        seconds = seconds * 60 + float(part)
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", text).group(1)) / 1024
    return seconds, peak


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    truth, chip = sys.argv[1], sys.argv[2]
    rows = []
    for arg in sys.argv[3:]:
        name, rest = arg.split("=", 1)
        vcf, timefile = rest.rsplit(":", 1)
        markers, _ = score_vcf.score(truth, vcf, chip)
        imputed = [m for m in markers if not m.typed]
        groups = [("all", imputed)] + [(b, [m for m in imputed if lo <= m.maf < hi]) for b, lo, hi in BINS]
        rows.append((name, time_report(timefile), [(g, score_vcf.summary(ms)) for g, ms in groups]))
    f = score_vcf.fmt
    base_time, base_peak = rows[0][1]
    print("untyped markers: %d (%s)" % (rows[0][2][0][1]["n"], ", ".join(
        "%s %d" % (g, s["n"] - s["mono"]) for g, s in rows[0][2][1:])))
    print("%-12s %8s %9s %7s %7s %7s %7s" % ("imputer", "time s", "peak MiB", "time x", "mem x", "conc",
                                            "NR conc"))
    for name, (secs, peak), groups in rows:
        s = groups[0][1]
        print("%-12s %8.2f %9.1f %7.3f %7.3f %7s %7s" % (name, secs, peak, secs / base_time, peak / base_peak,
                                                       f(s["conc"], 4), f(s["nrc"], 4)))
    print()
    print("dosage r2 on the untyped markers (mean of the markers / pooled over them)")
    print("%-12s" % "imputer" + "".join(" %17s" % g for g, _ in rows[0][2]))
    for name, _, groups in rows:
        print("%-12s" % name + "".join(" %17s" % ("%s / %s" % (f(s["r2"], 4), f(s["pooled"], 4))) for _, s in groups))


if __name__ == "__main__":
    main()
