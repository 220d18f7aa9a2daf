#!/usr/bin/env python3
"""Writes the regression cases' inputs beside this script, for the 26
samples of ../screen-routes/study: covar.txt (age, sex, bmi; one NA, one
sample absent, one ID of no sample), quant.txt (a quantitative trait) and
dosage.vcf (GT and DS: a planted marker, a marker only cases carry, a
monomorphic one, a record without DS, one not biallelic)."""
import os
import random

here = os.path.dirname(os.path.abspath(__file__))
random.seed(26)
fam = [line.split() for line in open(os.path.join(here, "..", "screen-routes", "study.fam"))]
cases = [f[5] == "2" for f in fam]

with open(os.path.join(here, "covar.txt"), "w") as out:
    out.write("FID\tIID\tage\tsex\tbmi\n")
    for n, f in enumerate(fam):
        if n == 7:
            continue
        bmi = "NA" if n == 3 else "%.1f" % random.gauss(26, 3)
        out.write("%s\t%s\t%d\t%s\t%s\n" % (f[0], f[1], random.randint(30, 70), f[4], bmi))
    out.write("fam9\tnobody\t40\t1\t25.0\n")

with open(os.path.join(here, "quant.txt"), "w") as out:
    out.write("IID\theight\tweight\n")
    for n, f in enumerate(fam):
        out.write("%s\t%.2f\t%s\n" % (f[1], random.gauss(170, 8), "NA" if n == 2 else "%.1f" % random.gauss(70, 9)))


def dosage(g):
    return "%.3f" % min(2.0, max(0.0, g + random.gauss(0, 0.1)))


records = []
for n in range(8):
    fields = []
    for s, case in enumerate(cases):
        g = sum(random.random() < (0.55 if case and n == 0 else 0.3) for _ in range(2))
        fields.append("./.:." if (s + n) % 11 == 0 else "%d/%d:%s" % (g > 0, g > 1, dosage(g)))
    records.append(("1", 10 * n + 5, "d%d" % n, "C", "T", "GT:DS", fields))
only_cases = [i for i, c in enumerate(cases) if c][:3]
records.append(("2", 5, "sep", "A", "G", "GT:DS",
                ["0/1:1.000" if s in only_cases else "0/0:0.000" for s in range(len(cases))]))
records.append(("2", 15, "mono", "A", "G", "GT:DS", ["0/0:0.000"] * len(cases)))
records.append(("2", 25, "gtonly", "A", "G", "GT", ["%d/%d" % (s % 3 > 0, s % 5 == 0) for s in range(len(cases))]))
records.append(("2", 35, "multi", "A", "G,T", "GT:DS", ["0/1:1,0"] * len(cases)))
with open(os.path.join(here, "dosage.vcf"), "w") as out:
    out.write("##fileformat=VCFv4.2\n##contig=<ID=1>\n##contig=<ID=2>\n")
    out.write('##FORMAT=<ID=GT,Number=1,Type=String,Description="Genotype">\n')
    out.write('##FORMAT=<ID=DS,Number=A,Type=Float,Description="ALT dosage">\n')
    out.write("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t" + "\t".join(f[1] for f in fam) + "\n")
    for chrom, pos, name, ref, alt, form, fields in records:
        out.write("\t".join([chrom, str(pos), name, ref, alt, ".", "PASS", ".", form] + fields) + "\n")
