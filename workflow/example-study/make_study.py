#!/usr/bin/env python3
"""Writes the example case/control study of the workflow into a directory.

Two short chromosomes are simulated with the coalescent simulator scrm
(Debian package `scrm`); the haplotypes of each are split into a phased
reference panel and the study individuals. The study is typed on a chip
(every third marker with a minor allele frequency of at least 0.05 in the
panel) and its case/control status is drawn from a logistic model in which
the planted markers raise the odds of being a case.

    make_study.py OUT_DIR

writes OUT_DIR/panel.chr1.vcf.gz, OUT_DIR/panel.chr2.vcf.gz (phased),
OUT_DIR/study.vcf.gz (both chromosomes, unphased, a few missing calls),
OUT_DIR/cases.txt (one sample ID a line), OUT_DIR/planted.tsv (the planted
markers, their effects and whether the chip typed them) and the genetic maps
of the simulation, OUT_DIR/map.chr1.txt and OUT_DIR/map.chr2.txt.gz
(`chr position cM`; scrm's recombination rate is uniform: -r 400 over the
locus with its N0 of 10,000 is 1 cM over 500 kb). The same command
writes the same bytes.
"""
import gzip
import math
import os
import random
import struct
import subprocess
import sys
import zlib

PANEL_HAPLOTYPES = 120
STUDY_INDIVIDUALS = 400
LENGTH = 500_000
# chromosome -> scrm seeds
CHROMOSOMES = {"1": (11, 12, 13), "2": (21, 22, 23)}
# (chromosome, panel MAF window, typed by the chip, log odds ratio per allele)
PLANTED = [("1", False, 1.2), ("1", True, 0.9), ("2", False, 1.1)]
ALLELE_PAIRS = [("A", "C"), ("A", "G"), ("C", "T"), ("G", "T"), ("C", "A"), ("G", "A"), ("T", "C"), ("T", "G")]


def simulate(seeds):
    """Haplotypes (one string of 0/1 per haplotype) and positions in [0, 1)."""
    total = PANEL_HAPLOTYPES + 2 * STUDY_INDIVIDUALS
    command = ["scrm", str(total), "1", "-t", "150", "-r", "400", str(LENGTH), "-p", "7",
               "-seed", *map(str, seeds)]
    try:
        lines = subprocess.run(command, check=True, capture_output=True, text=True).stdout.splitlines()
    except FileNotFoundError:
        sys.exit("make_study.py: needs scrm (Debian package scrm)")
    start = next(i for i, line in enumerate(lines) if line.startswith("positions:"))
    positions = [float(x) for x in lines[start].split()[1:]]
    haplotypes = lines[start + 1:start + 1 + total]
    return haplotypes, positions


def markers(chrom, rng):
    """The chromosome's markers: dicts with position, name, alleles, the
    panel haplotypes and the study genotypes (ALT counts)."""
    haplotypes, positions = simulate(CHROMOSOMES[chrom])
    result, last = [], 0
    for site, x in enumerate(positions):
        position = int(x * LENGTH) + 1
        column = [int(h[site]) for h in haplotypes]
        panel = column[:PANEL_HAPLOTYPES]
        alt = sum(panel)
        if position <= last or alt == 0 or alt == PANEL_HAPLOTYPES:
            continue
        last = position
        study = column[PANEL_HAPLOTYPES:]
        ref, alt_letter = rng.choice(ALLELE_PAIRS)
        result.append({
            "pos": position, "ref": ref, "alt": alt_letter,
            "name": f"rs{chrom}{len(result) + 1:04d}",
            "panel": panel,
            "genotypes": [study[2 * i] + study[2 * i + 1] for i in range(STUDY_INDIVIDUALS)],
            "maf": min(alt, PANEL_HAPLOTYPES - alt) / PANEL_HAPLOTYPES,
        })
    for i, marker in enumerate(result):
        marker["typed"] = marker["maf"] >= 0.05 and i % 3 == 0
    return result


def plant(chromosomes, rng):
    """Picks the planted markers (common ones, typed or not as asked) and
    draws the status: logit P(case) = b0 + sum of beta * ALT count, b0
    centring the risk so that about half the study are cases."""
    planted = []
    for chrom, typed, beta in PLANTED:
        candidates = [m for m in chromosomes[chrom] if m["typed"] == typed and 0.25 <= m["maf"] <= 0.45
                      and m not in [p for p, _ in planted]]
        planted.append((rng.choice(candidates), beta))
    risk = [sum(beta * m["genotypes"][i] for m, beta in planted) for i in range(STUDY_INDIVIDUALS)]
    b0 = -sum(risk) / len(risk)
    status = [rng.random() < 1 / (1 + math.exp(-(b0 + r))) for r in risk]
    return planted, status


CM_PER_BP = 400 / (4 * 10_000) * 100 / LENGTH


def write_map(path, chrom):
    """The simulation's genetic map: a record every 25 kb."""
    text = "".join(f"{chrom}\t{pos}\t{pos * CM_PER_BP:.6f}\n" for pos in range(1, LENGTH + 2, 25_000)).encode()
    if path.endswith(".gz"):
        with open(path, "wb") as raw, gzip.GzipFile(fileobj=raw, mode="wb", mtime=0, filename="") as f:
            f.write(text)
    else:
        with open(path, "wb") as f:
            f.write(text)


def header(contigs, samples, phased):
    lines = ["##fileformat=VCFv4.2"]
    lines += [f"##contig=<ID={c},length={LENGTH}>" for c in contigs]
    lines.append('##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">')
    lines.append(f"##source=make_study.py ({'phased panel' if phased else 'study chip'})")
    lines.append("\t".join(["#CHROM", "POS", "ID", "REF", "ALT", "QUAL", "FILTER", "INFO", "FORMAT"] + samples))
    return "\n".join(lines) + "\n"


def record(chrom, m, calls):
    return "\t".join([chrom, str(m["pos"]), m["name"], m["ref"], m["alt"], ".", "PASS", ".", "GT"] + calls) + "\n"


def bgzf_block(data):
    """One BGZF block: a gzip member with the BC extra field giving its size."""
    compressor = zlib.compressobj(6, zlib.DEFLATED, -15)
    deflated = compressor.compress(data) + compressor.flush()
    head = struct.pack("<BBBBIBBHBBHH", 31, 139, 8, 4, 0, 0, 255, 6, 66, 67, 2, len(deflated) + 25)
    return head + deflated + struct.pack("<II", zlib.crc32(data), len(data))


def write(path, text):
    """Writes bgzipped text (what htslib reads and indexes), with the empty
    end-of-file block; the same text gives the same bytes."""
    data = text.encode()
    with open(path, "wb") as out:
        for start in range(0, len(data), 65280):
            out.write(bgzf_block(data[start:start + 65280]))
        out.write(bgzf_block(b""))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_study.py OUT_DIR")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    rng = random.Random(18)
    chromosomes = {c: markers(c, rng) for c in CHROMOSOMES}
    planted, status = plant(chromosomes, rng)
    panel_samples = [f"P{i + 1:03d}" for i in range(PANEL_HAPLOTYPES // 2)]
    study_samples = [f"S{i + 1:03d}" for i in range(STUDY_INDIVIDUALS)]
    study = [header(CHROMOSOMES, study_samples, False)]
    for chrom, ms in chromosomes.items():
        panel = [header([chrom], panel_samples, True)]
        for m in ms:
            h = m["panel"]
            panel.append(record(chrom, m, [f"{h[2 * i]}|{h[2 * i + 1]}" for i in range(len(panel_samples))]))
            if m["typed"]:
                calls = ["./." if rng.random() < 0.01 else ["0/0", "0/1", "1/1"][g] for g in m["genotypes"]]
                study.append(record(chrom, m, calls))
        write(os.path.join(out, f"panel.chr{chrom}.vcf.gz"), "".join(panel))
        write_map(os.path.join(out, f"map.chr{chrom}.txt" + (".gz" if chrom == "2" else "")), chrom)
    write(os.path.join(out, "study.vcf.gz"), "".join(study))
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.writelines(f"{s}\n" for s, case in zip(study_samples, status) if case)
    with open(os.path.join(out, "planted.tsv"), "w") as f:
        f.write("CHR\tSNP\tBP\tPANEL_MAF\tTYPED\tLOG_OR\n")
        for m, beta in planted:
            chrom = next(c for c, ms in chromosomes.items() if m in ms)
            f.write(f"{chrom}\t{m['name']}\t{m['pos']}\t{m['maf']:.3f}\t{'yes' if m['typed'] else 'no'}\t{beta}\n")
    counts = {c: (len(ms), sum(m["typed"] for m in ms)) for c, ms in chromosomes.items()}
    print(f"{sum(status)} cases, {STUDY_INDIVIDUALS - sum(status)} controls; markers (panel, chip): {counts}")


if __name__ == "__main__":
    main()
