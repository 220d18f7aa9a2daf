#!/usr/bin/env python3
"""Writes one small case/control data set in every form snp-screen reads:
CaseAndControlData.txt with Chromosome_SNP_Length.txt, the PLINK fileset
study.bed/.bim/.fam, study.vcf with cases.txt and pheno.txt, and the result
file imputed.txt. The same codes (copies of A1 = ALT = the second letter)
everywhere; cases come first. study-excluded.* adds three samples the .fam
excludes (phenotypes 0, -9 and NA).

    make_data.py [DIR]   (default: the script's directory)
"""
import os
import random
import sys

CASES, CONTROLS = 14, 12
CHROMOSOMES = {1: 25, 2: 15}  # markers per chromosome
LETTERS = ["AG", "CT", "GT", "AC"]


def make_codes(rng):
    """One list of codes per marker (cases first); -1 is missing."""
    rows = []
    for chromosome, count in CHROMOSOMES.items():
        for locus in range(1, count + 1):
            effect = 0.35 if (chromosome, locus) in {(1, 4), (1, 17), (2, 9)} else 0.0
            base = rng.uniform(0.15, 0.6)
            row = []
            for sample in range(CASES + CONTROLS):
                f = min(base + (effect if sample < CASES else 0), 0.95)
                code = (rng.random() < f) + (rng.random() < f)
                row.append(-1 if rng.random() < 0.04 else code)
            rows.append((chromosome, locus, row))
    return rows


def bed_record(row):
    record = bytearray((len(row) + 3) // 4)
    for s, code in enumerate(row):
        bits = {2: 0, -1: 1, 1: 2, 0: 3}[code]
        record[s // 4] |= bits << (2 * (s % 4))
    return bytes(record)


def write_fileset(out, name, rows, samples):
    with open(os.path.join(out, name + ".fam"), "w") as f:
        for fid, iid, sex, phenotype in samples:
            f.write(f"{fid} {iid} 0 0 {sex} {phenotype}\n")
    with open(os.path.join(out, name + ".bim"), "w") as f:
        for j, (chromosome, locus, _) in enumerate(rows):
            letters = LETTERS[j % len(LETTERS)]
            f.write(f"{chromosome}\trs{1000 + j}\t0\t{locus}\t{letters[1]}\t{letters[0]}\n")
    with open(os.path.join(out, name + ".bed"), "wb") as f:
        f.write(b"\x6c\x1b\x01")
        for _, _, row in rows:
            f.write(bed_record(row))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    rng = random.Random(16)
    rows = make_codes(rng)
    n = CASES + CONTROLS
    ids = [f"s{s + 1:02d}" for s in range(n)]
    families = [f"fam{s // 2 + 1}" for s in range(n)]

    with open(os.path.join(out, "CaseAndControlData.txt"), "w") as f:
        for s in range(n):
            f.write(("1" if s < CASES else "0") + " " + " ".join(str(r[s]) for _, _, r in rows) + "\n")
    with open(os.path.join(out, "Chromosome_SNP_Length.txt"), "w") as f:
        f.write(" ".join(str(CHROMOSOMES.get(c, 0)) for c in range(1, 27)) + "\n")

    samples = [(families[s], ids[s], 1 + s % 2, 2 if s < CASES else 1) for s in range(n)]
    write_fileset(out, "study", rows, samples)
    extra = [("famx", "x1", 1, 0), ("famx", "x2", 2, -9), ("famx", "x3", 1, "NA")]
    extra_rows = [(c, l, row + [rng.choice([0, 1, 2]) for _ in extra]) for c, l, row in rows]
    write_fileset(out, "study-excluded", extra_rows, samples + extra)

    with open(os.path.join(out, "study.vcf"), "w") as f:
        f.write("##fileformat=VCFv4.2\n")
        for c, count in CHROMOSOMES.items():
            f.write(f"##contig=<ID={c},length={count + 10}>\n")
        f.write('##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n')
        f.write("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t" + "\t".join(ids) + "\n")
        gt = {-1: "./.", 0: "0/0", 1: "0/1", 2: "1|1"}
        for j, (chromosome, locus, row) in enumerate(rows):
            letters = LETTERS[j % len(LETTERS)]
            f.write(f"{chromosome}\t{locus}\trs{1000 + j}\t{letters[0]}\t{letters[1]}\t.\t.\t.\tGT\t")
            f.write("\t".join(gt[code] for code in row) + "\n")
            if j == 5:  # a multi-allelic record the reader skips
                f.write(f"{chromosome}\t{locus}\trs_multi\tA\tC,G\t.\t.\t.\tGT\t" + "\t".join("0/1" for _ in row) + "\n")
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.write("".join(i + "\n" for i in ids[:CASES]))
    with open(os.path.join(out, "pheno.txt"), "w") as f:
        f.write("FID\tIID\tstatus\n")
        for s in range(n):
            f.write(f"{families[s]}\t{ids[s]}\t{1 if s < CASES else 0}\n")

    with open(os.path.join(out, "imputed.txt"), "w") as f:
        for j, (chromosome, locus, row) in enumerate(rows):
            letters = LETTERS[j % len(LETTERS)]
            f.write(f"{j + 1}\trs{1000 + j} {locus} {letters[0]} {letters[1]} " + "".join(f"{c} " for c in row) + "\n")


if __name__ == "__main__":
    main()
