#!/usr/bin/env python3
"""Arithmetic of bench/score_vcf.py on a hand-made truth and imputed VCF.

    score_vcf_test.py BENCH_DIR
"""
import os
import subprocess
import sys
import tempfile
import unittest

BENCH = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "bench")
sys.path.insert(0, BENCH)
import score_vcf  # noqa: E402

HEAD = "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t"
# Truth of four individuals s1..s4.
TRUTH = "##fileformat=VCFv4.2\n" + HEAD + "s1\ts2\ts3\ts4\n" + "".join(
    "20\t%d\t.\t%s\t%s\t.\t.\t.\tGT\t%s\n" % row for row in [
        (100, "A", "G", "0/0\t0|1\t1/1\t0/0"),   # imputed, worked r2
        (200, "C", "T", "1/1\t1/1\t0/1\t0/0"),   # REF/ALT turned round in the VCF
        (300, "G", "A", "0/0\t0/0\t0/0\t0/0"),   # monomorphic in the truth
        (400, "T", "C", "0/0\t0/1\t0/0\t0/0"),   # constant dosages
        (500, "A", "C", "0/1\t0/1\t0/0\t1/1"),   # typed, DS from GP
        (600, "A", "T", "0/1\t0/0\t0/0\t0/0"),   # other alleles in the VCF
        (700, "G", "C", "0/1\t0/0\t0/0\t0/0"),   # not in the VCF
    ])
# Samples in another order, plus one the truth lacks; contig chr20.
IMPUTED = ("##fileformat=VCFv4.2\n"
           '##INFO=<ID=IMP,Number=0,Type=Flag,Description="imputed">\n'
           + HEAD + "s4\tx9\ts1\ts2\ts3\n" + "".join(
               "chr20\t%d\t.\t%s\t%s\t.\t.\t%s\t%s\t%s\n" % row for row in [
                   (100, "A", "G", "IMP;R2=1.2", "GT:DS", "0/1:1\t1/1:2\t0/0:0\t0/1:1\t1/1:2"),
                   (200, "T", "C", "IMP;R2=0.6", "GT:DS", "1/1:2\t0/0:0\t0/0:0\t0/0:0\t0/1:1"),
                   (300, "G", "A", "IMP;R2=.", "GT:DS", "0/0:0\t0/0:0\t0/0:0\t0/0:0\t0/0:0.2"),
                   (400, "T", "C", "IMP;R2=0.4", "GT:DS", "0/0:0.5\t0/0:0\t0/0:0.5\t0/0:0.5\t0/0:0.5"),
                   (500, "A", "C", "R2=0.2", "GT:GP",
                    "1/1:0,0,1\t0/0:1,0,0\t0/1:0,1,0\t./.:0,0.5,0.5\t0/0:1,0,0"),
                   (600, "A", "G", "IMP;R2=0.9", "GT:DS", "0/0:0\t0/0:0\t0/0:0\t0/0:0\t0/0:0"),
                   (900, "A", "G", "IMP;R2=0.9", "GT:DS", "0/0:0\t0/0:0\t0/0:0\t0/0:0\t0/0:0"),
               ]))


class ScoreTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.truth = os.path.join(cls.dir.name, "truth.vcf")
        cls.vcf = os.path.join(cls.dir.name, "imputed.vcf")
        with open(cls.truth, "w") as f:
            f.write(TRUTH)
        with open(cls.vcf, "w") as f:
            f.write(IMPUTED)
        cls.markers, cls.stats = score_vcf.score(cls.truth, cls.vcf)
        cls.by_pos = {m.pos: m for m in cls.markers}

    def test_matching_of_records_and_samples(self):
        s = self.stats
        self.assertEqual((s["records"], s["matched"], s["flipped"]), (7, 5, 1))
        self.assertEqual((s["allele_mismatch"], s["not_in_truth"], s["absent"]), (1, 1, 2))
        self.assertEqual((s["samples"], s["samples_matched"]), (5, 4))

    def test_per_marker_scores(self):
        m = self.by_pos[100]   # DS 0,1,2,1 against truth 0,1,2,0: r2 = 2^2 / (2 * 2.75)
        self.assertAlmostEqual(m.r2, 4 / 5.5)
        self.assertEqual((m.called, m.agree, m.nr_total, m.nr_agree), (4, 3, 3, 2))
        self.assertAlmostEqual(m.maf, 3 / 8)
        m = self.by_pos[200]   # turned round: calls agree with the truth
        self.assertEqual((m.r2, m.agree, m.nr_total, m.nr_agree), (1.0, 4, 3, 3))
        self.assertIsNone(self.by_pos[300].r2)
        self.assertEqual(self.by_pos[400].r2, 0.0)
        m = self.by_pos[500]   # dosages from GP: 2, 1, 1.5, 0 against truth 2, 1, 1, 0
        self.assertTrue(m.typed)
        self.assertAlmostEqual(m.r2, 2.0 ** 2 / (2.1875 * 2))
        self.assertEqual((m.called, m.agree), (3, 3))
        self.assertEqual([m.typed for m in self.markers], [False, False, False, False, True])

    def test_typed_list_overrides_flags(self):
        chip = os.path.join(self.dir.name, "chip.txt")
        with open(chip, "w") as f:
            f.write("20 100 A G\n")
        markers, _ = score_vcf.score(self.truth, self.vcf, chip)
        self.assertEqual([m.pos for m in markers if m.typed], [100])

    def test_summaries(self):
        imputed = [m for m in self.markers if not m.typed]
        s = score_vcf.summary(imputed)
        self.assertEqual((s["n"], s["mono"]), (4, 1))
        self.assertAlmostEqual(s["r2"], (4 / 5.5 + 1 + 0) / 3)
        self.assertAlmostEqual(s["conc"], (3 + 4 + 4 + 3) / 16)
        self.assertAlmostEqual(s["nrc"], (2 + 3 + 0 + 0) / (3 + 3 + 0 + 1))
        # Pooled over markers 100, 200, 400: sums of DS and truth over 12 pairs.
        xs = [1, 0, 1, 2, 0, 2, 2, 1, 0.5, 0.5, 0.5, 0.5]
        ys = [0, 0, 1, 2, 0, 2, 2, 1, 0, 0, 1, 0]
        n, mx, my = len(xs), sum(xs) / len(xs), sum(ys) / len(ys)
        cov = sum((x - mx) * (y - my) for x, y in zip(xs, ys))
        vx = sum((x - mx) ** 2 for x in xs)
        vy = sum((y - my) ** 2 for y in ys)
        self.assertAlmostEqual(s["pooled"], cov * cov / (vx * vy))
        self.assertEqual(n, 12)

    def test_report_counts(self):
        out = subprocess.run([sys.executable, os.path.join(BENCH, "score_vcf.py"), self.truth, self.vcf,
                              "--label", "toy"], check=True, capture_output=True, text=True).stdout
        lines = out.splitlines()
        self.assertIn("R2 > 1: 1 markers (1 imputed, 0 typed; largest 1.200)", lines)
        self.assertIn("R2 missing: 1 markers (1 imputed, 0 typed)", lines)
        self.assertIn("typed markers with R2 <= 0.3: 1 of 1", lines)
        kept = {tuple(l.split()[:2]): l.split()[2] for l in lines if l.startswith("R2>")}
        self.assertEqual(kept[("R2>0.3", "imputed")], "3")
        self.assertEqual(kept[("R2>0.5", "imputed")], "2")
        self.assertEqual(kept[("R2>0.8", "imputed")], "1")
        self.assertEqual(kept[("R2>0.3", "typed")], "0")
        bins = {l.split()[0]: l.split()[1] for l in lines if l.split()[:1] in (["<1%"], ["20-50%"], ["1-5%"])}
        self.assertEqual(bins, {"<1%": "1", "1-5%": "0", "20-50%": "2"})


if __name__ == "__main__":
    unittest.main()
