#!/usr/bin/env python3
"""Compares snp-screen's PREFIX.logistic.tsv (or .linear.tsv) with PLINK 2's
--glm output marker by marker: the largest relative difference of OR (BETA)
and SE, the largest difference of -log10 P, the markers NA in one only, and
the markers where one used Firth's fit and the other did not. Where PLINK 2
counts the other allele its estimate is turned round.

    logistic_compare.py OURS.tsv PLINK2.glm.logistic.hybrid [LABEL]
    logistic_compare.py --pcs OURS.eigenvec PLINK2.eigenvec

The second form prints the correlation of each principal component with
PLINK 2's (samples matched by IID).
"""
import math
import sys


def table(path):
    with open(path) as f:
        header = f.readline().rstrip("\n").lstrip("#").split("\t")
        return header, [dict(zip(header, line.rstrip("\n").split("\t"))) for line in f]


def number(text):
    return None if text in ("NA", "nan", "inf", "") else float(text)


def minus_log10(p):
    return math.inf if p == 0 else -math.log10(p)


def compare(ours_path, plink_path):
    _, ours = table(ours_path)
    header, theirs = table(plink_path)
    by_id = {row["ID"]: row for row in theirs}
    effect = "OR" if "OR" in header else "BETA"
    se_name = "LOG(OR)_SE" if effect == "OR" else "SE"
    worst = {"effect": 0.0, "se": 0.0, "log10p": 0.0}
    na_only_ours, na_only_theirs, firth_differs, both = [], [], [], 0
    for row in ours:
        other = by_id.get(row["SNP"])
        if other is None:
            na_only_theirs.append(row["SNP"])
            continue
        mine = [number(row[effect]), number(row["SE"]), number(row["P"])]
        theirs_ = [number(other[effect]), number(other[se_name]), number(other["P"])]
        if None in mine or None in theirs_:
            if (None in mine) != (None in theirs_):
                (na_only_ours if None in mine else na_only_theirs).append(row["SNP"])
            continue
        both += 1
        if other["A1"] != row["A1"]:  # PLINK 2 counts the minor allele
            theirs_[0] = 1 / theirs_[0] if effect == "OR" else -theirs_[0]
        if "FIRTH" in row and (row["FIRTH"] == "yes") != (other.get("FIRTH?") == "Y"):
            firth_differs.append(row["SNP"])
        for key, a, b in (("effect", mine[0], theirs_[0]), ("se", mine[1], theirs_[1])):
            worst[key] = max(worst[key], abs(a - b) / max(abs(b), 1e-300))
        worst["log10p"] = max(worst["log10p"], abs(minus_log10(mine[2]) - minus_log10(theirs_[2])))
    return both, worst, na_only_ours, na_only_theirs, firth_differs


def components(path):
    header, rows = table(path)
    names = [h for h in header if h.startswith("PC")]
    return names, {row["IID"]: [float(row[n]) for n in names] for row in rows}


def correlation(a, b):
    ma, mb = sum(a) / len(a), sum(b) / len(b)
    sab = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    saa = sum((x - ma) ** 2 for x in a)
    sbb = sum((y - mb) ** 2 for y in b)
    return sab / math.sqrt(saa * sbb)


def compare_components(ours_path, plink_path):
    names, ours = components(ours_path)
    _, theirs = components(plink_path)
    ids = [i for i in ours if i in theirs]
    r = [correlation([ours[i][c] for i in ids], [theirs[i][c] for i in ids]) for c in range(len(names))]
    print("principal components: |r| with PLINK 2's " + ", ".join(f"{n} {abs(x):.5f}" for n, x in zip(names, r)) +
          f" over {len(ids)} samples; " + ("all" if min(abs(x) for x in r) >= 0.99 else "NOT all") + " >= 0.99")
    return 0


def main():
    if sys.argv[1] == "--pcs":
        return compare_components(sys.argv[2], sys.argv[3])
    label = sys.argv[3] if len(sys.argv) > 3 else sys.argv[1]
    both, worst, na_ours, na_theirs, firth = compare(sys.argv[1], sys.argv[2])
    print(f"{label}: {both} markers compared; largest relative difference OR/BETA {worst['effect']:.2e}, "
          f"SE {worst['se']:.2e}; largest |diff -log10 P| {worst['log10p']:.2e}; "
          f"NA only here {len(na_ours)} {na_ours[:5]}, NA only in PLINK 2 {len(na_theirs)} {na_theirs[:5]}; "
          f"Firth differs {len(firth)} {firth[:5]}")
    ok = worst["effect"] <= 1e-3 and worst["se"] <= 1e-3 and worst["log10p"] <= 1e-3 and not na_ours and not na_theirs
    print(f"{label}: {'within' if ok else 'OUTSIDE'} the targets (1e-3 relative OR and SE, 1e-3 in -log10 P, same NA rows)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
