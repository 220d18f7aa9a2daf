#!/usr/bin/env python3
"""The study's report: one self-contained HTML page, its plots beside it.

    report.py --screen SCREEN.tsv --analysis DIR --r2-threshold X --out report.html CHR.markers.tsv...

SCREEN.tsv is snp-screen's table, DIR holds csm-analysis's P_value.txt,
csm_markers.tsv and csm_model.tsv, and each CHR.markers.tsv lists one
chromosome's imputed markers (CHR SNP BP AF R2 TYPED). Writes the page and,
in its directory, manhattan.png/.svg and qq.png/.svg. The page embeds the
PNGs, so it can be mailed or opened anywhere; the same inputs give the same
bytes.
"""
import argparse
import base64
import html
import math
import os
import re
import statistics

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

# The screen's Benjamini-Hochberg rates: each model at 0.05, the minimum of
# the four at a quarter of it.
FDR_RATE = 0.05
MIN_MODEL_RATE = 0.0125
MODELS = ["ADD", "DOM", "REC", "GENO"]
MAF_BINS = [(0.0, 0.01), (0.01, 0.05), (0.05, 0.1), (0.1, 0.2), (0.2, 0.5)]
COLOURS = ["#1f4e79", "#6fa8dc"]


def read_table(path):
    """Rows of a tab-separated table with a header, '#' lines skipped."""
    with open(path) as f:
        lines = [line.rstrip("\n") for line in f if line.strip() and not line.startswith("#")]
    if not lines:
        return []
    header = lines[0].split("\t")
    return [dict(zip(header, line.split("\t"))) for line in lines[1:]]


def number(text):
    try:
        value = float(text)
    except (TypeError, ValueError):
        return None
    return value if math.isfinite(value) else None


def fdr_cutoff(rows, p_key, q_key, rate):
    """The largest p-value the Benjamini-Hochberg rule selects, or None."""
    selected = [number(r[p_key]) for r in rows if number(r[q_key]) is not None and number(r[q_key]) <= rate]
    return max(selected) if selected else None


def save(figure, out_dir, name):
    for kind in ("png", "svg"):
        figure.savefig(os.path.join(out_dir, f"{name}.{kind}"), format=kind, dpi=110,
                       metadata={"Date": None} if kind == "svg" else {"Software": None})
    plt.close(figure)


def manhattan(rows, out_dir):
    figure, ax = plt.subplots(figsize=(9, 3.6))
    chromosomes = list(dict.fromkeys(r["CHR"] for r in rows))
    offset, ticks = 0.0, []
    for i, chrom in enumerate(chromosomes):
        points = [(float(r["BP"]), number(r["P_MIN"])) for r in rows if r["CHR"] == chrom]
        points = [(bp, p) for bp, p in points if p is not None and p > 0]
        if not points:
            continue
        start, end = min(bp for bp, _ in points), max(bp for bp, _ in points)
        ax.scatter([offset + bp - start for bp, _ in points], [-math.log10(p) for _, p in points],
                   s=7, color=COLOURS[i % 2], linewidths=0)
        ticks.append((offset + (end - start) / 2, chrom))
        offset += end - start + max(1.0, 0.05 * (end - start))
    cutoff = fdr_cutoff(rows, "P_MIN", "Q_MIN", MIN_MODEL_RATE)
    if cutoff is not None:
        ax.axhline(-math.log10(cutoff), color="#c00000", linestyle="--", linewidth=1,
                   label=f"FDR {MIN_MODEL_RATE:g} (p \u2264 {cutoff:.3g})")
        ax.legend(loc="upper left", frameon=False, fontsize=8)
    ax.set_xticks([t for t, _ in ticks], [c for _, c in ticks])
    ax.set_xlabel("chromosome")
    ax.set_ylabel("\u2212log10 P_MIN")
    ax.set_title("Minimum-model p-values")
    ax.spines[["top", "right"]].set_visible(False)
    figure.tight_layout()
    save(figure, out_dir, "manhattan")
    return cutoff


def inflation(pvalues):
    """Genomic inflation factor: the median 1-df chi-square of the p-values
    over its expectation under the null."""
    normal = statistics.NormalDist()
    chi = [normal.inv_cdf(1 - p / 2) ** 2 for p in pvalues if 0 < p < 1]
    chi += [0.0] * sum(1 for p in pvalues if p >= 1)
    return statistics.median(chi) / normal.inv_cdf(0.75) ** 2 if chi else float("nan")


def qq(rows, out_dir):
    pvalues = sorted(p for p in (number(r["P_ADD"]) for r in rows) if p is not None and p > 0)
    lam = inflation(pvalues)
    n = len(pvalues)
    expected = [-math.log10((i + 0.5) / n) for i in range(n)]
    observed = [-math.log10(p) for p in pvalues]
    figure, ax = plt.subplots(figsize=(4.2, 4.2))
    top = max(expected + observed + [1.0])
    ax.plot([0, top], [0, top], color="#888888", linewidth=1)
    ax.scatter(expected, observed, s=7, color=COLOURS[0], linewidths=0)
    ax.set_xlabel("expected \u2212log10 p")
    ax.set_ylabel("observed \u2212log10 P_ADD")
    ax.set_title(f"QQ plot, allelic test (\u03bb = {lam:.3f})")
    ax.spines[["top", "right"]].set_visible(False)
    figure.tight_layout()
    save(figure, out_dir, "qq")
    return lam


def selected_markers(rows):
    """Markers a Benjamini-Hochberg selection of the screen keeps, with the
    models that select them, smallest P_MIN first."""
    result = []
    for r in rows:
        models = [m for m in MODELS if (q := number(r[f"Q_{m}"])) is not None and q <= FDR_RATE]
        q = number(r["Q_MIN"])
        if q is not None and q <= MIN_MODEL_RATE:
            models.append("MIN")
        if models:
            result.append((r, models))
    return sorted(result, key=lambda item: number(item[0]["P_MIN"]))


def imputation_summary(marker_files, threshold):
    per_chromosome, by_bin = [], [[] for _ in MAF_BINS]
    for path in marker_files:
        rows = read_table(path)
        imputed = [r for r in rows if r["TYPED"] != "1"]
        passing = [r for r in imputed if number(r["R2"]) is not None and number(r["R2"]) >= threshold]
        chrom = rows[0]["CHR"] if rows else os.path.basename(path)
        per_chromosome.append((chrom, len(rows), len(rows) - len(imputed), len(imputed), len(passing)))
        for r in imputed:
            af, r2 = number(r["AF"]), number(r["R2"])
            if af is None or r2 is None:
                continue
            maf = min(af, 1 - af)
            for i, (low, high) in enumerate(MAF_BINS):
                if low <= maf < high or (high == 0.5 and maf == 0.5):
                    by_bin[i].append(r2)
    return per_chromosome, by_bin


def table(header, rows, table_id):
    head = "".join(f"<th>{html.escape(str(h))}</th>" for h in header)
    body = "".join("<tr>" + "".join(f"<td>{html.escape(str(c))}</td>" for c in row) + "</tr>\n" for row in rows)
    return f'<table id="{table_id}"><thead><tr>{head}</tr></thead><tbody>\n{body}</tbody></table>'


def image(out_dir, name, alt):
    with open(os.path.join(out_dir, f"{name}.png"), "rb") as f:
        data = base64.b64encode(f.read()).decode()
    return (f'<figure><img id="{name}" alt="{html.escape(alt)}" src="data:image/png;base64,{data}">'
            f'<figcaption>{html.escape(alt)} (<a href="{name}.svg">SVG</a>, <a href="{name}.png">PNG</a>)'
            f"</figcaption></figure>")


def share(part, whole):
    return f"{100 * part / whole:.1f}%" if whole else "NA"


def permutation_pvalue(analysis_dir):
    """The (k + 1) / (B + 1) p-value of csm_model.tsv, or None when no model was found."""
    with open(os.path.join(analysis_dir, "csm_model.tsv")) as f:
        match = re.search(r"^# P_PERM=(\S+): .*?k = (\d+) of the B = (\d+) ", f.read(), re.M)
    return match.groups() if match else None


def csm_section(analysis_dir):
    with open(os.path.join(analysis_dir, "P_value.txt")) as f:
        match = re.search(r"Overall P-value=(\S+)", f.read())
    overall = match.group(1) if match else "NA"
    found = permutation_pvalue(analysis_dir)
    if found:
        pvalue, k, b = found
        test = (f'<p>Permutation p-value of the whole procedure (screen, selection, search and fit, all repeated '
                f'on every permuted phenotype): <b id="csm-pvalue">{html.escape(pvalue)}</b> = (k + 1) / (B + 1), '
                f"k = {k} of B = {b} permuted statistics at least as large as the observed one "
                f"(P_value.txt: Overall P-value={html.escape(overall)}, the share of larger ones). ")
    elif "No model found" in open(os.path.join(analysis_dir, "csm_model.tsv")).read():
        test = '<p><b id="csm-pvalue">No model found</b>: the search kept no model, so no permutation test was made. '
    else:
        test = '<p><b id="csm-pvalue">No permutation test</b>: the run drew no permutations. '
    markers = read_table(os.path.join(analysis_dir, "csm_markers.tsv"))
    model = read_table(os.path.join(analysis_dir, "csm_model.tsv"))
    model_header = list(model[0].keys()) if model else ["LEARNER"]
    marker_header = list(markers[0].keys()) if markers else ["SNP"]
    in_model = sorted({snp for row in model for snp in row.get("SNPS", "").split(",") if snp})
    return (test + f"Markers in the final model: {html.escape(', '.join(in_model) or 'none')}.</p>"
            "<h3>Model: one row per base learner</h3>"
            + table(model_header, [[r[h] for h in model_header] for r in model], "csm-model")
            + f"<h3>Analysed markers ({len(markers)}, the screen's smallest P_MIN)</h3>"
            + table(marker_header, [[r[h] for h in marker_header] for r in markers], "csm-markers"))


STYLE = """body{font-family:sans-serif;max-width:1000px;margin:2em auto;color:#222}
table{border-collapse:collapse;margin:0.5em 0 1.5em;font-size:0.85em}
th,td{border:1px solid #ccc;padding:2px 6px;text-align:right}th{background:#eef}
figure{display:inline-block;margin:0 1em 1em 0}img{max-width:100%}figcaption{font-size:0.85em}"""


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--screen", required=True)
    parser.add_argument("--analysis", required=True)
    parser.add_argument("--r2-threshold", type=float, required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("markers", nargs="+")
    args = parser.parse_args()
    out_dir = os.path.dirname(os.path.abspath(args.out))
    os.makedirs(out_dir, exist_ok=True)
    matplotlib.rcParams["svg.hashsalt"] = "report"

    rows = read_table(args.screen)
    if not rows:
        raise SystemExit(f"report.py: {args.screen} lists no markers")
    cutoff = manhattan(rows, out_dir)
    lam = qq(rows, out_dir)
    selected = selected_markers(rows)
    per_chromosome, by_bin = imputation_summary(args.markers, args.r2_threshold)

    fdr_rows = [[r["CHR"], r["SNP"], r["BP"], r["A1"], r["A2"], r["P_ADD"], r["P_DOM"], r["P_REC"], r["P_GENO"],
                 r["P_MIN"], r["Q_MIN"], ",".join(models)] for r, models in selected]
    chrom_rows = [[c, total, typed, imputed, passing, share(passing, imputed)]
                  for c, total, typed, imputed, passing in per_chromosome]
    t = args.r2_threshold
    bin_rows = [[f"{low:g}\u2013{high:g}", len(v), f"{statistics.mean(v):.3f}" if v else "NA",
                 f"{statistics.median(v):.3f}" if v else "NA", share(sum(x >= t for x in v), len(v))]
                for (low, high), v in zip(MAF_BINS, by_bin)]
    cutoff_text = f"p \u2264 {cutoff:.3g}" if cutoff is not None else "no marker selected"
    passing = f"R2 \u2265 {t:g}"
    figures = (image(out_dir, "manhattan", "Manhattan plot of the minimum-model p-values, FDR threshold dashed")
               + "\n" + image(out_dir, "qq", f"QQ plot of the allelic test, lambda = {lam:.3f}"))
    fdr_table = table(["CHR", "SNP", "BP", "A1", "A2", "P_ADD", "P_DOM", "P_REC", "P_GENO", "P_MIN", "Q_MIN",
                       "SELECTED BY"], fdr_rows, "fdr-markers")
    chrom_table = table(["CHR", "MARKERS", "TYPED", "IMPUTED", "IMPUTED " + passing, "SHARE"], chrom_rows,
                        "imputed-per-chromosome")
    bin_table = table(["MAF", "MARKERS", "MEAN R2", "MEDIAN R2", passing], bin_rows, "r2-by-maf")
    page = f"""<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Case/control study report</title>
<style>{STYLE}</style></head><body>
<h1>Case/control study report</h1>
<p>{len(rows)} markers screened (imputed markers with R2 \u2265 {t:g} and the typed markers);
{len(selected)} selected by the Benjamini-Hochberg rule (each model at FDR {FDR_RATE:g},
the minimum model at {MIN_MODEL_RATE:g}: {cutoff_text}). Genomic inflation factor of the allelic
test: \u03bb = {lam:.3f}.</p>
<h2>Screen</h2>
{figures}
<h2>FDR-selected markers ({len(selected)})</h2>
{fdr_table}
<h2>Multi-marker model</h2>
{csm_section(args.analysis)}
<h2>Imputation</h2>
<h3>Markers per chromosome (R2 threshold {t:g})</h3>
{chrom_table}
<h3>R2 of the imputed markers by minor allele frequency</h3>
{bin_table}
</body></html>
"""
    partial = args.out + ".partial"
    with open(partial, "w", encoding="utf-8") as f:
        f.write(page)
    os.replace(partial, args.out)


if __name__ == "__main__":
    main()
