#!/usr/bin/env python3
"""Scores an imputed VCF against the true genotypes of the same individuals.

    score_vcf.py TRUTH.vcf[.gz] IMPUTED.vcf[.gz] [--label NAME] [--typed FILE]
        [--r2-field NAME] [--out FILE] [--per-marker FILE]

Records are matched by position (the chromosome names compared without a
leading "chr") and alleles; a record whose REF/ALT are the truth's ALT/REF
is scored with its dosages and calls turned round (counted as "flipped").
Individuals are matched by sample name.  The dosage is FORMAT/DS, else the
ALT dosage of FORMAT/GP, else the GT call.

A marker is typed when it is listed in --typed (lines "CHROM POS REF ALT",
the chip list of real_split.py), otherwise when its INFO has the flag TYPED,
or lacks the flag IMP while the header declares IMP; all others are
imputed.  Per marker: true r2 = the squared Pearson correlation of the
dosage and the true ALT count over the individuals (0 when the dosages do
not vary; markers monomorphic in the truth are left out and counted), GT
concordance, and the counts of the non-reference concordance (the share of
agreeing calls among the genotypes where the truth or the call carries an
ALT allele).  The minor allele frequency bins use the truth's frequency.
The quality field (--r2-field, default R2) is read from INFO.
Standard library only; the report goes to standard output and --out.
"""
import argparse
import gzip
import math
import sys

BINS = [("<1%", 0.0, 0.01), ("1-5%", 0.01, 0.05), ("5-20%", 0.05, 0.20), ("20-50%", 0.20, 0.5000001)]
THRESHOLDS = (0.3, 0.5, 0.8)


def open_text(path):
    return gzip.open(path, "rt") if path.endswith(".gz") else open(path)


def norm_chrom(name):
    return name[3:] if name.lower().startswith("chr") else name


def alt_count(gt):
    """ALT count of a diploid GT string, or None when an allele is missing."""
    if len(gt) != 3 or gt[1] not in "/|" or gt[0] not in "01" or gt[2] not in "01":
        return None
    return int(gt[0]) + int(gt[2])


def read_truth(path):
    """Returns (samples, {(chrom, pos): (ref, alt, [ALT count or None])})."""
    samples, sites = None, {}
    with open_text(path) as f:
        for line in f:
            if line.startswith("##"):
                continue
            fields = line.rstrip("\n").split("\t")
            if line.startswith("#"):
                samples = fields[9:]
                continue
            sites[(norm_chrom(fields[0]), int(fields[1]))] = (
                fields[3].upper(), fields[4].upper(),
                [alt_count(c.split(":", 1)[0]) for c in fields[9:]])
    if samples is None:
        raise ValueError("%s has no #CHROM header line" % path)
    return samples, sites


def read_typed(path):
    typed = set()
    with open(path) as f:
        for line in f:
            words = line.split()
            if len(words) >= 2:
                typed.add((norm_chrom(words[0]), int(words[1])))
    return typed


def parse_info(text):
    flags, values = set(), {}
    if text != ".":
        for item in text.split(";"):
            key, eq, value = item.partition("=")
            if eq:
                values[key] = value
            else:
                flags.add(key)
    return flags, values


def dosage_of(cell, i_ds, i_gp, i_gt):
    parts = cell.split(":")
    if i_ds is not None and i_ds < len(parts) and parts[i_ds] not in (".", ""):
        return float(parts[i_ds])
    if i_gp is not None and i_gp < len(parts) and parts[i_gp] not in (".", ""):
        gp = [float(x) for x in parts[i_gp].split(",")]
        if len(gp) == 3:
            return gp[1] + 2 * gp[2]
    if i_gt is not None and i_gt < len(parts):
        call = alt_count(parts[i_gt])
        return None if call is None else float(call)
    return None


class Marker:
    """Scores of one matched record."""
    __slots__ = ("pos", "typed", "quality", "maf", "r2", "n", "called", "agree",
                 "nr_total", "nr_agree", "sums")

    def __init__(self, pos, typed, quality, truth, dosages, calls):
        self.pos, self.typed, self.quality = pos, typed, quality
        pairs = [(d, t) for d, t in zip(dosages, truth) if d is not None and t is not None]
        self.n = len(pairs)
        truths = [t for t in truth if t is not None]
        freq = sum(truths) / (2 * len(truths)) if truths else 0.0
        self.maf = min(freq, 1 - freq)
        sx = sum(d for d, _ in pairs)
        sy = sum(t for _, t in pairs)
        sxx = sum(d * d for d, _ in pairs)
        syy = sum(t * t for _, t in pairs)
        sxy = sum(d * t for d, t in pairs)
        self.sums = (self.n, sx, sy, sxx, syy, sxy)
        self.r2 = r_squared(*self.sums)
        self.called = self.agree = self.nr_total = self.nr_agree = 0
        for c, t in zip(calls, truth):
            if t is None or c is None:
                continue
            self.called += 1
            self.agree += c == t
            if c or t:
                self.nr_total += 1
                self.nr_agree += c == t


def r_squared(n, sx, sy, sxx, syy, sxy):
    """Squared correlation from sums; None when the truth (y) does not vary,
    0 when only the dosages (x) do not."""
    if n < 2:
        return None
    vy = syy - sy * sy / n
    if vy <= 1e-12 * max(1.0, syy):
        return None
    vx = sxx - sx * sx / n
    if vx <= 1e-12 * max(1.0, sxx):
        return 0.0
    cov = sxy - sx * sy / n
    return min(1.0, cov * cov / (vx * vy))


def score(truth_path, vcf_path, typed_path=None, r2_field="R2"):
    truth_samples, truth = read_truth(truth_path)
    typed_set = read_typed(typed_path) if typed_path else None
    stats = {"records": 0, "matched": 0, "flipped": 0, "allele_mismatch": 0,
             "not_in_truth": 0, "repeated": 0}
    markers, seen = [], set()
    columns, declares_imp = None, False
    with open_text(vcf_path) as f:
        for line in f:
            if line.startswith("##"):
                declares_imp |= line.startswith("##INFO=<ID=IMP,")
                continue
            fields = line.rstrip("\n").split("\t")
            if line.startswith("#"):
                index = {s: i for i, s in enumerate(truth_samples)}
                columns = [index.get(s) for s in fields[9:]]
                stats["samples"] = len(columns)
                stats["samples_matched"] = sum(c is not None for c in columns)
                if not stats["samples_matched"]:
                    raise ValueError("no sample of %s is in %s" % (vcf_path, truth_path))
                continue
            stats["records"] += 1
            key = (norm_chrom(fields[0]), int(fields[1]))
            site = truth.get(key)
            if site is None:
                stats["not_in_truth"] += 1
                continue
            if key in seen:
                stats["repeated"] += 1
                continue
            ref, alt = fields[3].upper(), fields[4].upper()
            if (ref, alt) == site[:2]:
                flip = False
            elif (alt, ref) == site[:2]:
                flip = True
                stats["flipped"] += 1
            else:
                stats["allele_mismatch"] += 1
                continue
            seen.add(key)
            stats["matched"] += 1
            flags, values = parse_info(fields[7])
            if typed_set is not None:
                typed = key in typed_set
            else:
                typed = "TYPED" in flags or (declares_imp and "IMP" not in flags)
            q = values.get(r2_field)
            quality = float(q) if q not in (None, ".", "") else None
            fmt = fields[8].split(":")
            i_ds = fmt.index("DS") if "DS" in fmt else None
            i_gp = fmt.index("GP") if "GP" in fmt else None
            i_gt = fmt.index("GT") if "GT" in fmt else None
            dosages, calls, truths = [], [], []
            for col, cell in zip(columns, fields[9:]):
                if col is None:
                    continue
                d = dosage_of(cell, i_ds, i_gp, i_gt)
                c = alt_count(cell.split(":")[i_gt]) if i_gt is not None else None
                if flip:
                    d = None if d is None else 2.0 - d
                    c = None if c is None else 2 - c
                dosages.append(d)
                calls.append(c)
                truths.append(site[2][col])
            markers.append(Marker(key[1], typed, quality, truths, dosages, calls))
    stats["truth_markers"] = len(truth)
    stats["absent"] = len(truth) - len(seen)
    return markers, stats


# ---------------------------------------------------------------- summaries
def mean(values):
    values = list(values)
    return sum(values) / len(values) if values else None


def summary(ms):
    """Counts and means of a group of markers."""
    poly = [m for m in ms if m.r2 is not None]
    pooled = [sum(s) for s in zip(*(m.sums for m in poly))] if poly else None
    called = sum(m.called for m in ms)
    return {
        "n": len(ms), "mono": len(ms) - len(poly),
        "r2": mean(m.r2 for m in poly),
        "pooled": r_squared(*pooled) if pooled else None,
        "conc": sum(m.agree for m in ms) / called if called else None,
        "nrc": (sum(m.nr_agree for m in ms) / t) if (t := sum(m.nr_total for m in ms)) else None,
        "call": called / n if (n := sum(m.n for m in ms)) else None,
        "quality": mean(m.quality for m in ms if m.quality is not None),
        "quality_poly": mean(m.quality for m in poly if m.quality is not None),
    }


def fmt(value, digits=3):
    return "NA" if value is None else "%.*f" % (digits, value)


def report(markers, stats, label, r2_field):
    out = []
    w = out.append
    imputed = [m for m in markers if not m.typed]
    typed = [m for m in markers if m.typed]
    w("score of %s against the truth" % label)
    w("records %d: %d matched to the truth (%d with REF/ALT turned round), %d with other alleles, "
      "%d not in the truth, %d repeated; %d truth markers not in the VCF"
      % (stats["records"], stats["matched"], stats["flipped"], stats["allele_mismatch"],
         stats["not_in_truth"], stats["repeated"], stats["absent"]))
    w("individuals %d of %d in the truth" % (stats["samples_matched"], stats["samples"]))
    w("")
    w("accuracy (true r2 over markers polymorphic in the truth; concordance over called genotypes)")
    w("%-9s %7s %6s %8s %8s %8s %8s %8s" % ("markers", "n", "mono", "mean r2", "pooled", "conc",
                                           "NR conc", "called"))
    for name, ms in (("imputed", imputed), ("typed", typed), ("all", markers)):
        s = summary(ms)
        w("%-9s %7d %6d %8s %8s %8s %8s %8s" % (name, s["n"], s["mono"], fmt(s["r2"]), fmt(s["pooled"]),
                                              fmt(s["conc"], 4), fmt(s["nrc"], 4), fmt(s["call"], 4)))
    w("")
    w("imputed markers by study minor allele frequency: calibration of %s (mean %s - mean true r2)"
      % (r2_field, r2_field))
    w("%-7s %7s %6s %8s %8s %8s %8s %8s %8s" % ("MAF", "n", "mono", "mean " + r2_field, "true r2", "diff",
                                              "pooled", "conc", "NR conc"))
    for name, lo, hi in BINS:
        ms = [m for m in imputed if lo <= m.maf < hi]
        s = summary(ms)
        diff = (s["quality_poly"] - s["r2"]) if s["quality_poly"] is not None and s["r2"] is not None else None
        w("%-7s %7d %6d %8s %8s %8s %8s %8s %8s" % (name, s["n"], s["mono"], fmt(s["quality_poly"]),
                                                  fmt(s["r2"]), fmt(diff),
                                                  fmt(s["pooled"]), fmt(s["conc"], 4), fmt(s["nrc"], 4)))
    w("(mean %s over the markers polymorphic in the truth, as the true r2)" % r2_field)
    w("")
    w("filters on %s: markers kept (share of their class), concordance and mean true r2 of the kept"
      % r2_field)
    w("%-10s %-8s %7s %7s %8s %8s" % ("filter", "markers", "kept", "share", "conc", "true r2"))
    for t in THRESHOLDS:
        for name, ms in (("imputed", imputed), ("typed", typed)):
            kept = [m for m in ms if m.quality is not None and m.quality > t]
            s = summary(kept)
            share = len(kept) / len(ms) if ms else None
            w("%-10s %-8s %7d %6s%% %8s %8s" % ("%s>%g" % (r2_field, t), name, len(kept),
                                              fmt(None if share is None else 100 * share, 1),
                                              fmt(s["conc"], 4), fmt(s["r2"])))
    w("")
    over = [m for m in markers if m.quality is not None and m.quality > 1]
    w("%s > 1: %d markers (%d imputed, %d typed; largest %s)"
      % (r2_field, len(over), sum(not m.typed for m in over), sum(m.typed for m in over),
         fmt(max((m.quality for m in over), default=None))))
    missing = [m for m in markers if m.quality is None]
    w("%s missing: %d markers (%d imputed, %d typed)"
      % (r2_field, len(missing), sum(not m.typed for m in missing), sum(m.typed for m in missing)))
    low = sum(1 for m in typed if m.quality is not None and m.quality <= 0.3)
    w("typed markers with %s <= 0.3: %d of %d" % (r2_field, low, len(typed)))
    return "\n".join(out) + "\n"


def write_per_marker(path, markers):
    with open(path, "w") as f:
        f.write("pos\ttyped\tquality\tmaf\ttrue_r2\tcalled\tagree\n")
        for m in markers:
            f.write("%d\t%d\t%s\t%.4f\t%s\t%d\t%d\n" % (m.pos, m.typed, fmt(m.quality, 4), m.maf,
                                                     fmt(m.r2, 4), m.called, m.agree))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("truth")
    ap.add_argument("imputed")
    ap.add_argument("--label", default=None, help="name of the imputer in the report")
    ap.add_argument("--typed", help="chip markers, lines CHROM POS REF ALT")
    ap.add_argument("--r2-field", default="R2", help="INFO field of the quality estimate")
    ap.add_argument("--out", help="also write the report to this file")
    ap.add_argument("--per-marker", help="write the per-marker scores (tab-separated) to this file")
    a = ap.parse_args()
    try:
        markers, stats = score(a.truth, a.imputed, a.typed, a.r2_field)
    except (OSError, ValueError, IndexError) as e:
        sys.exit("score_vcf.py: %s" % e)
    text = report(markers, stats, a.label or a.imputed, a.r2_field)
    sys.stdout.write(text)
    if a.out:
        with open(a.out, "w") as f:
            f.write(text)
    if a.per_marker:
        write_per_marker(a.per_marker, markers)


if __name__ == "__main__":
    main()
