#!/usr/bin/env python3
"""Turns scrm's output (haplotypes of one locus) into a phased VCF.

    scrm_to_vcf.py SCRM_OUTPUT LENGTH OUT.vcf

Pairs of consecutive haplotypes make one individual (I1, I2, ...). Sites
get base positions 1..LENGTH from scrm's relative positions (a site on the
position of the one before moves one base on); the alleles are A (0) and
G (1) on chromosome 1. Standard library only.
"""
import sys


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    source, length, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    lines = open(source).read().split("\n")
    start = next(k for k, line in enumerate(lines) if line.startswith("positions:"))
    positions, last = [], 0
    for value in lines[start].split()[1:]:
        pos = max(last + 1, int(float(value) * length) + 1)
        positions.append(pos)
        last = pos
    haplotypes = [line.strip() for line in lines[start + 1:] if line.strip()]
    if len(haplotypes) % 2:
        sys.exit("scrm_to_vcf.py: an odd number of haplotypes")
    individuals = len(haplotypes) // 2
    with open(out, "w") as f:
        f.write("##fileformat=VCFv4.2\n##contig=<ID=1,length=%d>\n" % max(length, last))
        f.write('##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n')
        f.write("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t")
        f.write("\t".join("I%d" % (i + 1) for i in range(individuals)) + "\n")
        for site, pos in enumerate(positions):
            if pos > length:
                break
            column = [h[site] for h in haplotypes]
            calls = "\t".join(column[2 * i] + "|" + column[2 * i + 1] for i in range(individuals))
            f.write("1\t%d\ts%d\tA\tG\t.\tPASS\t.\tGT\t%s\n" % (pos, pos, calls))


if __name__ == "__main__":
    main()
