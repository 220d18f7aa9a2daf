#!/usr/bin/env python3
"""The bench split (bench/real_split.py) on a small generated phased VCF.

    real_split_test.py BENCH_DIR
"""
import gzip
import os
import random
import subprocess
import sys
import tempfile
import unittest

BENCH = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "bench")
SAMPLES = ["i%02d" % k for k in range(12)]


def source_vcf(path):
    rng = random.Random(5)
    rows = []
    for k in range(60):
        freq = rng.choice([0.0, 0.02, 0.1, 0.3, 0.5])
        cells = ["%d|%d" % (rng.random() < freq, rng.random() < freq) for _ in SAMPLES]
        rows.append("7\t%d\trs%d\tA\tG\t.\t.\t.\tGT\t%s" % (1000 + 10 * k, k, "\t".join(cells)))
    bad = "\t".join(["0|1"] * 12)
    rows[3] = rows[3].replace("\tA\tG\t", "\tA\tG,T\t")            # multi-allelic
    rows[4] = rows[4].replace("\tA\tG\t", "\tAT\tG\t")             # indel
    rows[5] = rows[5].split("GT\t")[0] + "GT\t0/1\t" + bad[4:]   # unphased
    rows.append("7\t5000\trs99\tC\tT\t.\t.\t.\tGT\t" + bad)       # outside the region
    with gzip.open(path, "wt") as f:
        f.write("##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t"
                + "\t".join(SAMPLES) + "\n" + "\n".join(rows) + "\n")


def read_vcf(path):
    with (gzip.open(path, "rt") if path.endswith(".gz") else open(path)) as f:
        lines = [l.rstrip("\n").split("\t") for l in f if not l.startswith("##")]
    return lines[0][9:], [(int(r[1]), r[9:]) for r in lines[1:]]


class SplitTest(unittest.TestCase):
    def split(self, out, seed):
        return subprocess.run([sys.executable, os.path.join(BENCH, "real_split.py"), self.src, out,
                               "--seed", str(seed), "--region", "1000-1600", "--panel", "4",
                               "--study", "10", "--chip-density", "0.25", "--chip-maf", "0.25"],
                              check=True, capture_output=True, text=True).stdout

    def test_split(self):
        with tempfile.TemporaryDirectory() as tmp:
            self.src = os.path.join(tmp, "source.vcf.gz")
            source_vcf(self.src)
            summary = self.split(os.path.join(tmp, "a"), 3)
            self.assertIn("SNPs in region  57 biallelic, phased (2 not a biallelic SNP, "
                          "1 unphased or missing genotype)", summary)
            self.assertIn("8 individuals (all the file has beyond the panel; 10 asked), 4 cases", summary)
            panel_ids, panel = read_vcf(os.path.join(tmp, "a", "panel.vcf"))
            study_ids, study = read_vcf(os.path.join(tmp, "a", "study.vcf"))
            truth_ids, truth = read_vcf(os.path.join(tmp, "a", "truth.vcf.gz"))
            self.assertEqual(sorted(panel_ids + study_ids), SAMPLES)
            self.assertEqual(study_ids, truth_ids)
            self.assertEqual(study_ids, sorted(study_ids))
            # Markers: exactly the panel-polymorphic ones; the chip among the common ones.
            self.assertEqual([p for p, _ in panel], [p for p, _ in truth])
            counts = {p: sum(int(c[0]) + int(c[2]) for c in cells) for p, cells in panel}
            self.assertTrue(all(0 < n < 8 for n in counts.values()))
            self.assertEqual(len(study), round(0.25 * len(panel)))
            self.assertTrue(all(min(counts[p], 8 - counts[p]) >= 2 for p, _ in study))
            truth_at = dict(truth)
            for pos, cells in study:
                self.assertEqual(cells, truth_at[pos])
                self.assertTrue(all(c[1] == "/" and c[0] <= c[2] for c in cells))
            with open(os.path.join(tmp, "a", "cases.txt")) as f:
                cases = f.read().split()
            self.assertEqual(len(cases), 4)
            self.assertTrue(set(cases) <= set(study_ids))
            # The same seed gives the same files; another seed another draw.
            self.split(os.path.join(tmp, "b"), 3)
            self.split(os.path.join(tmp, "c"), 4)
            for name in ("panel.vcf", "study.vcf", "cases.txt", "chip.txt"):
                with open(os.path.join(tmp, "a", name)) as a, open(os.path.join(tmp, "b", name)) as b:
                    self.assertEqual(a.read(), b.read(), name)
            self.assertNotEqual(read_vcf(os.path.join(tmp, "c", "panel.vcf"))[0], panel_ids)


if __name__ == "__main__":
    unittest.main()
