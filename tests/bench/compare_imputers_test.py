#!/usr/bin/env python3
"""bench/compare_imputers.py on two hand-made imputed VCFs: exact dosages and
constant ones, with GNU time reports.

    compare_imputers_test.py BENCH_DIR
"""
import os
import subprocess
import sys
import tempfile
import unittest

BENCH = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "bench")
HEAD = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\ts4\n"
# ALT counts per individual: MAF 3/8 (20-50%), typed, MAF 1/8 (5-20%).
COUNTS = {100: (0, 1, 2, 0), 200: (2, 2, 1, 0), 300: (1, 0, 0, 0)}
GT = {0: "0/0", 1: "0/1", 2: "1/1"}


def vcf(call, dosage):
    return HEAD + "".join("20\t%d\t.\tA\tG\t.\t.\t.\tGT:DS\t%s\n" % (pos, "\t".join(
        "%s:%s" % (GT[call(c)], dosage(c)) for c in counts)) for pos, counts in COUNTS.items())


def time_report(seconds, kbytes):
    return ("\tElapsed (wall clock) time (h:mm:ss or m:ss): 0:%05.2f\n"
            "\tMaximum resident set size (kbytes): %d\n" % (seconds, kbytes))


class CompareImputers(unittest.TestCase):
    def test_table(self):
        with tempfile.TemporaryDirectory() as d:
            files = {"truth.vcf": HEAD + "".join("20\t%d\t.\tA\tG\t.\t.\t.\tGT\t%s\n" % (
                         p, "\t".join(GT[c] for c in cs)) for p, cs in COUNTS.items()),
                     "chip.txt": "20 200 A G\n",
                     "exact.vcf": vcf(lambda c: c, lambda c: c), "flat.vcf": vcf(lambda c: 0, lambda c: 0.5),
                     "exact.time": time_report(10, 2048), "flat.time": time_report(5, 1024)}
            for name, text in files.items():
                with open(os.path.join(d, name), "w") as f:
                    f.write(text)
            out = subprocess.run([sys.executable, os.path.join(BENCH, "compare_imputers.py"),
                                  os.path.join(d, "truth.vcf"), os.path.join(d, "chip.txt"),
                                  "exact=%s:%s" % (os.path.join(d, "exact.vcf"), os.path.join(d, "exact.time")),
                                  "flat=%s:%s" % (os.path.join(d, "flat.vcf"), os.path.join(d, "flat.time"))],
                                 capture_output=True, text=True, check=True).stdout
        rows = {}  # the first table's row of each imputer
        for line in out.splitlines():
            if line.split():
                rows.setdefault(line.split()[0], line.split())
        self.assertIn("untyped markers: 2 (1-5% 0, 5-20% 1, 20-50% 1)", out)
        self.assertEqual(rows["exact"][1:7], ["10.00", "2.0", "1.000", "1.000", "1.0000", "1.0000"])
        self.assertEqual(rows["flat"][1:5], ["5.00", "1.0", "0.500", "0.500"])
        self.assertEqual(rows["flat"][5], "0.6250")  # 0/0 called: right for 5 of 8 genotypes
        # The second table: all, 1-5%, 5-20%, 20-50% as "mean / pooled".
        self.assertEqual(out.splitlines()[-2].split()[1:],
                         ["1.0000", "/", "1.0000", "NA", "/", "NA"] + ["1.0000", "/", "1.0000"] * 2)
        self.assertEqual(out.splitlines()[-1].split()[1:4], ["0.0000", "/", "0.0000"])


if __name__ == "__main__":
    unittest.main()
