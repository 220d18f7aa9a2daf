#!/usr/bin/env python3
"""Writes the example data set as VCF files into examples/vcf/.

panel.vcf: the 120 reference haplotypes as 60 phased samples (REF = the
reference map's first letter, coded 0; ALT = its second letter, coded 1).
study.vcf: the 200 study individuals, unphased, at the chip markers that are
in the panel, with REF/ALT taken from the panel; cases.txt lists the cases.
Usage: python3 make_vcf.py   (reads the text files next to this script)
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
COMPLEMENT = {"A": "T", "C": "G", "G": "C", "T": "A"}


def read_panel():
    with open(os.path.join(HERE, "hapmap.map")) as f:
        words = f.read().split()[4:]
    markers = [(words[i], int(words[i + 1]), words[i + 2], words[i + 3]) for i in range(0, len(words), 4)]
    with open(os.path.join(HERE, "hapmap.hap")) as f:
        haplotypes = [line.split() for line in f if line.strip()]
    return markers, haplotypes


def header(samples):
    return ("##fileformat=VCFv4.2\n##contig=<ID=7>\n"
            '##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n'
            "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t" + "\t".join(samples) + "\n")


def write_panel(markers, haplotypes, out):
    allele = {"0": "0", "1": "1", "?": "."}
    samples = ["REF%03d" % (s + 1) for s in range(len(haplotypes) // 2)]
    with open(os.path.join(out, "panel.vcf"), "w") as f:
        f.write(header(samples))
        for j, (name, pos, ref, alt) in enumerate(markers):
            gts = [allele[haplotypes[2 * s][j]] + "|" + allele[haplotypes[2 * s + 1][j]] for s in range(len(samples))]
            f.write("7\t%d\t%s\t%s\t%s\t.\tPASS\t.\tGT\t%s\n" % (pos, name, ref, alt, "\t".join(gts)))


def read_study():
    with open(os.path.join(HERE, "normal.map")) as f:
        chip = [line.split() for line in f if line.strip()]
    samples, rows = [], []
    for name in ("disease.geno", "normal.geno"):
        with open(os.path.join(HERE, name)) as f:
            for line in f:
                words = line.split()
                samples.append(words[0])
                rows.append(words[2:])
    return chip, samples, rows


def write_study(markers, chip, samples, rows, out):
    panel = {name: (pos, ref, alt) for name, pos, ref, alt in markers}
    records = []
    for k, fields in enumerate(chip):
        name, letters = fields[2], {fields[3], fields[4]}
        if name not in panel:
            continue
        pos, ref, alt = panel[name]
        # Chip letters may stand on the other strand.
        flip = not letters <= {ref, alt}
        gts = []
        for row in rows:
            pair = [row[2 * k], row[2 * k + 1]]
            if flip:
                pair = [COMPLEMENT.get(a, a) for a in pair]
            codes = ["." if a == "0" else ("0" if a == ref else "1" if a == alt else ".") for a in pair]
            gts.append(codes[0] + "/" + codes[1])
        records.append((pos, name, ref, alt, gts))
    records.sort()
    with open(os.path.join(out, "study.vcf"), "w") as f:
        f.write(header(samples))
        for pos, name, ref, alt, gts in records:
            f.write("7\t%d\t%s\t%s\t%s\t.\tPASS\t.\tGT\t%s\n" % (pos, name, ref, alt, "\t".join(gts)))
    with open(os.path.join(out, "cases.txt"), "w") as f:
        f.write("".join(s + "\n" for s in samples if s.startswith("CASE")))


def main():
    out = os.path.join(HERE, "vcf")
    os.makedirs(out, exist_ok=True)
    markers, haplotypes = read_panel()
    write_panel(markers, haplotypes, out)
    chip, samples, rows = read_study()
    write_study(markers, chip, samples, rows, out)


if __name__ == "__main__":
    main()
