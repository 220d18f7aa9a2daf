#!/usr/bin/env python3
"""The study's report: one self-contained HTML page, its plots beside it.

    report.py --screen SCREEN.tsv --analysis DIR --r2-threshold X --imputed-maf M
              --qc-samples SAMPLES.tsv [--qc-markers MARKERS.tsv...] [--provenance JSON]
              [--logistic TABLE --eigenvec FILE] [--no-five-model] --out report.html CHR.markers.tsv...

SCREEN.tsv is snp-screen's table, DIR holds csm-analysis's P_value.txt,
csm_markers.tsv and csm_model.tsv, and each CHR.markers.tsv lists one
chromosome's imputed markers (CHR SNP BP AF R2 TYPED). SAMPLES.tsv and the
MARKERS.tsv files are the quality control's tables, JSON the run's
provenance; with --logistic the plots show the adjusted test and the page
its PC plot. Writes the page and, in its directory, manhattan.png/.svg,
qq.png/.svg, callrate.png/.svg (and pcs.png/.svg). The page embeds the PNGs,
so it can be mailed or opened anywhere; the same inputs give the same bytes.
"""
import argparse
import base64
import html
import json
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


def manhattan(rows, out_dir, test):
    """The Manhattan plot of `test` (p-value column, FDR cutoff, title): one
    chromosome on an axis in Mb, several side by side with each one's start
    and end in Mb under its name."""
    p_key, cutoff, title = test
    figure, ax = plt.subplots(figsize=(9, 3.6))
    chromosomes = list(dict.fromkeys(r["CHR"] for r in rows))
    offset, ticks = 0.0, []
    for i, chrom in enumerate(chromosomes):
        points = [(float(r["BP"]) / 1e6, number(r[p_key])) for r in rows if r["CHR"] == chrom]
        points = [(mb, p) for mb, p in points if p is not None and p > 0]
        if not points:
            continue
        start, end = min(mb for mb, _ in points), max(mb for mb, _ in points)
        shift = offset - start if len(chromosomes) > 1 else 0.0
        ax.scatter([mb + shift for mb, _ in points], [-math.log10(p) for _, p in points],
                   s=7, color=COLOURS[i % 2], linewidths=0)
        ticks.append((shift + (start + end) / 2, f"{chrom}\n{start:.2f}\u2013{end:.2f} Mb"))
        offset += end - start + max(0.01, 0.05 * (end - start))
    if cutoff is not None:
        ax.axhline(-math.log10(cutoff), color="#c00000", linestyle="--", linewidth=1,
                   label=f"FDR cutoff (p \u2264 {cutoff:.3g})")
        ax.legend(loc="upper left", frameon=False, fontsize=8)
    if len(chromosomes) > 1:
        ax.set_xticks([t for t, _ in ticks], [c for _, c in ticks], fontsize=8)
        ax.set_xlabel("chromosome (first and last marker, Mb)")
    else:
        ax.set_xlabel(f"chromosome {chromosomes[0]}, position (Mb)")
    ax.set_ylabel(f"\u2212log10 {p_key}")
    ax.set_title(title)
    ax.spines[["top", "right"]].set_visible(False)
    figure.tight_layout()
    save(figure, out_dir, "manhattan")


def inflation(pvalues):
    """Genomic inflation factor: the median 1-df chi-square of the p-values
    over its expectation under the null."""
    normal = statistics.NormalDist()
    chi = [normal.inv_cdf(1 - p / 2) ** 2 for p in pvalues if 0 < p < 1]
    chi += [0.0] * sum(1 for p in pvalues if p >= 1)
    return statistics.median(chi) / normal.inv_cdf(0.75) ** 2 if chi else float("nan")


def column(rows, key):
    return sorted(p for p in (number(r[key]) for r in rows) if p is not None and p > 0)


def qq(pvalues, out_dir, label):
    """The QQ plot: its x-axis runs to the largest expected value, its
    y-axis to the largest observed one."""
    lam = inflation(pvalues)
    n = len(pvalues)
    expected = [-math.log10((i + 0.5) / n) for i in range(n)]
    observed = [-math.log10(p) for p in pvalues]
    figure, ax = plt.subplots(figsize=(4.2, 4.2))
    right, top = max(expected + [0.5]) * 1.04, max(observed + expected + [0.5]) * 1.04
    ax.plot([0, right], [0, right], color="#888888", linewidth=1)
    ax.scatter(expected, observed, s=7, color=COLOURS[0], linewidths=0)
    ax.set_xlim(0, right)
    ax.set_ylim(0, top)
    ax.set_xlabel("expected \u2212log10 p")
    ax.set_ylabel(f"observed \u2212log10 p, {label}")
    ax.set_title(f"QQ plot, {label} (\u03bb = {lam:.3f})", fontsize=10)
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


def minor(af):
    return None if af is None else min(af, 1 - af)


def imputation_summary(marker_files, threshold, min_maf=0.0):
    per_chromosome, by_bin = [], [[] for _ in MAF_BINS]
    for path in marker_files:
        rows = read_table(path)
        imputed = [r for r in rows if r["TYPED"] != "1"]
        passing = [r for r in imputed if number(r["R2"]) is not None and number(r["R2"]) >= threshold
                   and minor(number(r["AF"])) is not None and minor(number(r["AF"])) >= min_maf]
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


def imputed_removals(marker_files, threshold, min_maf):
    """Counts of the imputed markers the join removes, by first reason."""
    low_r2 = low_maf = 0
    for path in marker_files:
        for r in read_table(path):
            r2, maf = number(r["R2"]), minor(number(r["AF"]))
            if r2 is None or r2 < threshold:
                low_r2 += 1
            elif maf is None or maf < min_maf:
                low_maf += 1
    return low_r2, low_maf


def callrate_histogram(samples, markers, thresholds, out_dir):
    """Histograms of the call rates, each with its QC threshold dashed."""
    figure, axes = plt.subplots(1, 2, figsize=(8, 3))
    for ax, rows, what, threshold in ((axes[0], samples, "samples", thresholds[0]),
                                      (axes[1], markers, "chip markers", thresholds[1])):
        rates = [x for x in (number(r["CALL_RATE"]) for r in rows) if x is not None]
        ax.hist(rates, bins=40, color=COLOURS[0])
        ax.axvline(threshold, color="#c00000", linestyle="--", linewidth=1)
        ax.set_xlabel("call rate")
        ax.set_ylabel(what)
        ax.set_title(f"Call rates of the {what}", fontsize=10)
        ax.spines[["top", "right"]].set_visible(False)
    figure.tight_layout()
    save(figure, out_dir, "callrate")


def pc_plot(eigenvec, status, out_dir):
    """PC1 against PC2, coloured by case/control status."""
    with open(eigenvec) as f:
        lines = [line.split() for line in f if line.strip()]
    header = [name.lstrip("#") for name in lines[0]] if lines else []
    rows = [dict(zip(header, line)) for line in lines[1:]]
    figure, ax = plt.subplots(figsize=(4.6, 4.2))
    for label, colour in (("case", "#c00000"), ("control", COLOURS[0])):
        points = [(number(r["PC1"]), number(r["PC2"])) for r in rows
                  if status.get(r.get("IID", "")) == label]
        points = [(x, y) for x, y in points if x is not None and y is not None]
        ax.scatter([x for x, _ in points], [y for _, y in points], s=9, color=colour, linewidths=0,
                   label=f"{label}s ({len(points)})")
    ax.legend(frameon=False, fontsize=8)
    ax.set_xlabel("PC1")
    ax.set_ylabel("PC2")
    ax.set_title("Principal components by status", fontsize=10)
    ax.spines[["top", "right"]].set_visible(False)
    figure.tight_layout()
    save(figure, out_dir, "pcs")


def monomorphic_panel_markers(panel_logs):
    """The panel markers snp-convert panel left out as monomorphic in the panel."""
    count = 0
    for path in panel_logs:
        with open(path) as f:
            match = re.search(r"^(\d+) of \d+ panel markers are monomorphic", f.read(), re.M)
        count += int(match.group(1)) if match else 0
    return count


def qc_section(samples, marker_rows, imputed_removed, args, out_dir):
    """The quality control: counts per reason, the call-rate histograms and
    the removed samples and chip markers."""
    callrate_histogram(samples, marker_rows, (args.qc_sample_call_rate, args.qc_marker_call_rate), out_dir)
    counts = {}
    for kind, rows in (("samples", samples), ("chip markers", marker_rows)):
        for r in rows:
            if r["REMOVED"] != ".":
                counts[(kind, r["REMOVED"])] = counts.get((kind, r["REMOVED"]), 0) + 1
    summary = [["samples", "kept", sum(r["REMOVED"] == "." for r in samples)]]
    summary += [[kind, reason, n] for (kind, reason), n in sorted(counts.items()) if kind == "samples"]
    summary.append(["chip markers", "kept", sum(r["REMOVED"] == "." for r in marker_rows)])
    summary += [[kind, reason, n] for (kind, reason), n in sorted(counts.items()) if kind == "chip markers"]
    summary += [["imputed markers", f"R2 < {args.r2_threshold:g}", imputed_removed[0]],
                ["imputed markers", f"MAF < {args.imputed_maf:g}", imputed_removed[1]],
                ["panel markers", "monomorphic in the panel, left out before imputation",
                 monomorphic_panel_markers(args.panel_logs)]]
    removed = [["sample", r["SAMPLE"], "", r["STATUS"], r["CALL_RATE"], r["REMOVED"]]
               for r in samples if r["REMOVED"] != "."]
    removed += [["chip marker", r["SNP"], f"{r['CHR']}:{r['POS']}", "", r["CALL_RATE"], r["REMOVED"]]
                for r in marker_rows if r["REMOVED"] != "."]
    shown = removed[:500]
    more = f" (the first 500 of {len(removed)}; all in the QC tables)" if len(removed) > 500 else ""
    return ("<p>Before imputation, samples and chip markers are checked on the chip genotypes: samples"
            f" with a call rate below {args.qc_sample_call_rate:g} are removed, then chip markers with a call"
            f" rate below {args.qc_marker_call_rate:g}, a Hardy\u2013Weinberg p-value below {args.qc_hwe_p:g}"
            f" in the controls or a minor allele frequency below {args.qc_maf:g}. After imputation, markers"
            f" with an imputation R2 below {args.r2_threshold:g} or a minor allele frequency below"
            f" {args.imputed_maf:g} are left out of the tests.</p>"
            + table(["WHAT", "REASON", "COUNT"], summary, "qc-summary")
            + image(out_dir, "callrate", "Call rates of the samples and of the chip markers, QC thresholds dashed")
            + f"<h3>Removed samples and chip markers ({len(removed)}){more}</h3>"
            + table(["KIND", "ID", "POSITION", "STATUS", "CALL RATE", "REASON"], shown, "qc-removed"))


def provenance_section(path):
    with open(path) as f:
        record = json.load(f)
    return ("<p>What produced this report: the programs' versions, every setting of the run (defaults"
            " included) and the SHA-256 checksums of the inputs.</p>"
            + table(["PROGRAM", "VERSION", "RUN AS"], record["programs"], "provenance-programs")
            + table(["SETTING", "VALUE"], record["settings"], "provenance-settings")
            + table(["INPUT", "SHA-256"], record["inputs"], "provenance-inputs"))


def table(header, rows, table_id):
    head = "".join(f"<th>{html.escape(str(h))}</th>" for h in header)
    body = "".join("<tr>" + "".join(f"<td>{html.escape(str(c))}</td>" for c in row) + "</tr>\n" for row in rows)
    return (f'<div class="wide"><table id="{table_id}"><thead><tr>{head}</tr></thead><tbody>\n{body}</tbody>'
            "</table></div>")


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


def csm_section(analysis_dir, adjusted=None):
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
    note = ""
    if adjusted is not None:
        marker_header = marker_header + ["ADJUSTED P"]
        for r in markers:
            r["ADJUSTED P"] = adjusted.get(r.get("SNP"), "NA")
        note = (" This p-value permutes the status and is not adjusted for the principal components or the"
                " covariates; the adjusted test's p-value of each analysed marker is shown beside it.")
    return (test + f"Markers in the final model: {html.escape(', '.join(in_model) or 'none')}.{note}</p>"
            "<h3>Model: one row per base learner</h3>"
            + table(model_header, [[r[h] for h in model_header] for r in model], "csm-model")
            + f"<h3>Analysed markers ({len(markers)}, the screen's smallest P_MIN)</h3>"
            + table(marker_header, [[r[h] for h in marker_header] for r in markers], "csm-markers"))


STYLE = """body{font-family:sans-serif;max-width:1000px;margin:2em auto;color:#222}
table{border-collapse:collapse;margin:0.5em 0 1.5em;font-size:0.85em}
th,td{border:1px solid #ccc;padding:2px 6px;text-align:right;white-space:nowrap}th{background:#eef}
.wide{overflow-x:auto}
figure{display:inline-block;margin:0 1em 1em 0}img{max-width:100%}figcaption{font-size:0.85em}"""


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--screen", required=True)
    parser.add_argument("--analysis", required=True)
    parser.add_argument("--r2-threshold", type=float, required=True)
    parser.add_argument("--imputed-maf", type=float, default=0.0)
    parser.add_argument("--qc-samples", required=True)
    parser.add_argument("--qc-markers", nargs="*", default=[])
    parser.add_argument("--panel-logs", nargs="*", default=[])
    for option in ("--qc-sample-call-rate", "--qc-marker-call-rate", "--qc-hwe-p", "--qc-maf"):
        parser.add_argument(option, type=float, required=True)
    parser.add_argument("--provenance")
    parser.add_argument("--logistic")
    parser.add_argument("--eigenvec")
    parser.add_argument("--no-five-model", action="store_true")
    parser.add_argument("--out", required=True)
    parser.add_argument("markers", nargs="+")
    return parser.parse_args()


LAMBDA_SENTENCE = ("The genomic inflation factor \u03bb is the median of the test statistics over its expected"
                   " value when no marker is associated: near 1 when the p-values follow the null apart from"
                   " true signals, above 1 when population structure, relatedness or a shared genealogy"
                   " inflate them all.")


def main():
    args = parse_args()
    out_dir = os.path.dirname(os.path.abspath(args.out))
    os.makedirs(out_dir, exist_ok=True)
    matplotlib.rcParams["svg.hashsalt"] = "report"

    rows = read_table(args.screen)
    if not rows:
        raise SystemExit(f"report.py: {args.screen} lists no markers")
    samples = read_table(args.qc_samples)
    qc_markers = [r for path in args.qc_markers for r in read_table(path)]
    lam_unadjusted = inflation(column(rows, "P_ADD"))
    logistic = read_table(args.logistic) if args.logistic else None
    adjusted = None
    if logistic is not None:
        adjusted = {r["SNP"]: r["P"] for r in logistic}
        for r in logistic:
            r["P"] = r["P"] if number(r["P"]) is not None else "NA"
        q = bh_qvalues([number(r["P"]) for r in logistic])
        selected_p = [number(r["P"]) for r, qv in zip(logistic, q) if qv is not None and qv <= FDR_RATE]
        cutoff = max(selected_p) if selected_p else None
        manhattan(logistic, out_dir, ("P", cutoff, "Adjusted test (logistic regression on dosages)"))
        lam = qq(column(logistic, "P"), out_dir, "adjusted test")
        status = {r["SAMPLE"]: r["STATUS"] for r in samples}
        if args.eigenvec:
            pc_plot(args.eigenvec, status, out_dir)
        lambda_text = (f"Genomic inflation factor: \u03bb = {lam_unadjusted:.3f} for the allelic test"
                       f" before adjustment, \u03bb = {lam:.3f} for the adjusted test.")
    else:
        cutoff = fdr_cutoff(rows, "P_MIN", "Q_MIN", MIN_MODEL_RATE)
        manhattan(rows, out_dir, ("P_MIN", cutoff, "Minimum-model p-values"))
        lam = qq(column(rows, "P_ADD"), out_dir, "allelic test")
        lambda_text = f"Genomic inflation factor of the allelic test: \u03bb = {lam:.3f}."
    selected = selected_markers(rows)
    per_chromosome, by_bin = imputation_summary(args.markers, args.r2_threshold, args.imputed_maf)

    fdr_rows = [[r["CHR"], r["SNP"], r["BP"], r["A1"], r["A2"], r["P_ADD"], r["P_DOM"], r["P_REC"], r["P_GENO"],
                 r["P_MIN"], r["Q_MIN"], ",".join(models)] for r, models in selected]
    chrom_rows = [[c, total, typed, imputed, passing, share(passing, imputed)]
                  for c, total, typed, imputed, passing in per_chromosome]
    t = args.r2_threshold
    bin_rows = [[f"{low:g}\u2013{high:g}", len(v), f"{statistics.mean(v):.3f}" if v else "NA",
                 f"{statistics.median(v):.3f}" if v else "NA", share(sum(x >= t for x in v), len(v))]
                for (low, high), v in zip(MAF_BINS, by_bin)]
    cutoff_text = f"p \u2264 {cutoff:.3g}" if cutoff is not None else "no marker selected"
    passing = f"R2 \u2265 {t:g}, MAF \u2265 {args.imputed_maf:g}"
    test_name = "adjusted test" if logistic is not None else "minimum-model p-values"
    figures = (image(out_dir, "manhattan", f"Manhattan plot of the {test_name}, FDR threshold dashed")
               + "\n" + image(out_dir, "qq", f"QQ plot, lambda = {lam:.3f}"))
    sections = []
    if logistic is not None:
        order = sorted(range(len(logistic)), key=lambda i: (number(logistic[i]["P"]) is None,
                                                            number(logistic[i]["P"]) or 0))
        q = bh_qvalues([number(r["P"]) for r in logistic])
        adjusted_rows = [[logistic[i][k] for k in ("CHR", "SNP", "BP", "A1", "A2", "A1_FREQ", "OR", "SE", "P")]
                         + [f"{q[i]:.3g}"] for i in order if q[i] is not None and q[i] <= FDR_RATE]
        sections.append(f"<h2>FDR-selected markers of the adjusted test ({len(adjusted_rows)})</h2>\n"
                        f"<p>Logistic regression of the status on each marker's dosage with the principal"
                        f" components (and covariates) as covariates; Benjamini-Hochberg at {FDR_RATE:g}.</p>"
                        + table(["CHR", "SNP", "BP", "A1", "A2", "A1_FREQ", "OR", "SE", "P", "Q"], adjusted_rows,
                                "adjusted-markers")
                        + ("<h3>Principal components</h3>" + image(out_dir, "pcs", "PC1 against PC2, cases and controls")
                           if args.eigenvec else ""))
    if logistic is None or not args.no_five_model:
        sections.append(f"<h2>FDR-selected markers of the five-model screen ({len(selected)})</h2>\n"
                        + table(["CHR", "SNP", "BP", "A1", "A2", "P_ADD", "P_DOM", "P_REC", "P_GENO", "P_MIN",
                                 "Q_MIN", "SELECTED BY"], fdr_rows, "fdr-markers"))
    chrom_table = table(["CHR", "MARKERS", "TYPED", "IMPUTED", "IMPUTED " + passing, "SHARE"], chrom_rows,
                        "imputed-per-chromosome")
    bin_table = table(["MAF", "MARKERS", "MEAN R2", "MEDIAN R2", f"R2 \u2265 {t:g}"], bin_rows, "r2-by-maf")
    imputed_removed = imputed_removals(args.markers, t, args.imputed_maf)
    provenance = (f"<h2>Provenance</h2>\n{provenance_section(args.provenance)}" if args.provenance else "")
    newline = "\n"
    page = f"""<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Case/control study report</title>
<style>{STYLE}</style></head><body>
<h1>Case/control study report</h1>
<p>{len(rows)} markers screened (imputed markers with R2 \u2265 {t:g} and MAF \u2265 {args.imputed_maf:g}, and the
typed markers that passed quality control); {len(selected)} selected by the five-model screen's
Benjamini-Hochberg rule (each model at FDR {FDR_RATE:g}, the minimum model at {MIN_MODEL_RATE:g}); the plots'
threshold: {cutoff_text}. <span id="lambda">{lambda_text}</span> {LAMBDA_SENTENCE}</p>
<h2>Quality control</h2>
{qc_section(samples, qc_markers, imputed_removed, args, out_dir)}
<h2>Screen</h2>
{figures}
{newline.join(sections)}
<h2>Multi-marker model</h2>
{csm_section(args.analysis, adjusted)}
<h2>Imputation</h2>
<h3>Markers per chromosome (R2 threshold {t:g})</h3>
{chrom_table}
<h3>R2 of the imputed markers by minor allele frequency</h3>
{bin_table}
<section id="provenance">
{provenance}
</section>
</body></html>
"""
    partial = args.out + ".partial"
    with open(partial, "w", encoding="utf-8") as f:
        f.write(page)
    os.replace(partial, args.out)


def bh_qvalues(pvalues):
    """Benjamini-Hochberg q-values (None where the p-value is None)."""
    present = sorted((p, i) for i, p in enumerate(pvalues) if p is not None)
    q = [None] * len(pvalues)
    running = 1.0
    for rank in range(len(present), 0, -1):
        p, i = present[rank - 1]
        running = min(running, p * len(present) / rank)
        q[i] = running
    return q


if __name__ == "__main__":
    main()
