#!/usr/bin/env python3
"""Writes the example analysis data (examples/csm: 200 individuals, 12
markers, the observed phenotypes) as the inputs users hold: a PLINK 1
fileset study.bed/.bim/.fam, study.vcf, pheno.txt and cases.txt, plus the
one-line phenotype and column files of the text route.

One more sample, "extra", sits between individuals 50 and 51 without a
phenotype (-9 in the .fam, absent from pheno.txt and cases.txt): every
route leaves it out and analyses the same 200 individuals. The .bed
codes count A1, the VCF ALT; a code -1 is a missing call.
Usage: python3 make_fileset.py [OUTPUT_DIR]
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(HERE, "..", "..", "..", "examples", "csm")
ALLELES = [("A", "G"), ("C", "T"), ("G", "A"), ("T", "C")]
EXTRA_AT = 50


def lines(name):
    with open(os.path.join(EXAMPLE, name)) as f:
        return [line.split() for line in f if line.strip()]


def main(out):
    genotypes = [[int(v) for v in row] for row in lines("genotypes.txt")]
    status = [int(v) for v in lines("phenotypes.txt")[0]]
    names = [row[2] for row in lines("cc555k_map/cc555k_chr1.snps")][:len(genotypes[0])]
    samples = [f"s{i + 1}" for i in range(len(genotypes))]
    rows = list(zip(samples, genotypes, status))
    rows.insert(EXTRA_AT, ("extra", [0] * len(names), None))

    def write(name, text, mode="w"):
        with open(os.path.join(out, name), mode) as f:
            f.write(text)

    write("study.fam", "".join(f"{s} {s} 0 0 0 {-9 if y is None else y + 1}\n" for s, _, y in rows))
    write("study.bim", "".join(f"1\t{n}\t0\t{1000 * (j + 1)}\t{ALLELES[j % 4][0]}\t{ALLELES[j % 4][1]}\n"
                               for j, n in enumerate(names)))
    bed = bytearray([0x6C, 0x1B, 0x01])
    bits = {2: 0b00, -1: 0b01, 1: 0b10, 0: 0b11}
    for j in range(len(names)):
        for start in range(0, len(rows), 4):
            byte = 0
            for k, (_, g, _) in enumerate(rows[start:start + 4]):
                byte |= bits[g[j]] << (2 * k)
            bed.append(byte)
    write("study.bed", bytes(bed), "wb")

    calls = {0: "0/0", 1: "0/1", 2: "1/1", -1: "./."}
    vcf = ["##fileformat=VCFv4.2", "##contig=<ID=1>", '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">',
           "\t".join(["#CHROM", "POS", "ID", "REF", "ALT", "QUAL", "FILTER", "INFO", "FORMAT"] + [s for s, _, _ in rows])]
    for j, n in enumerate(names):
        a1, a2 = ALLELES[j % 4]
        vcf.append("\t".join(["1", str(1000 * (j + 1)), n, a2, a1, ".", "PASS", ".", "GT"] + [calls[g[j]] for _, g, _ in rows]))
    write("study.vcf", "\n".join(vcf) + "\n")
    write("pheno.txt", "FID\tIID\tSTATUS\n" + "".join(f"{s}\t{s}\t{y + 1}\n" for s, _, y in rows if y is not None))
    write("cases.txt", "".join(f"{s}\n" for s, _, y in rows if y == 1))
    write("p.txt", " ".join(str(y) for y in status) + "\n")
    write("c.txt", " ".join(str(j) for j in range(len(names))) + "\n")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else HERE)
