// Reference panel conversion: haplotype codes, map, skipped records, the
// choice of chromosome and the input errors.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "convert/panel_converter.h"
#include "test_support.h"
#include "vcf_fixture.h"

namespace snp::convert {
namespace {

using snp::test::TempDir;

PanelData convert_text(const TempDir& dir, const std::string& text, std::optional<std::string> chromosome = {}) {
  dir.write("panel.vcf", text);
  VcfReader reader(dir.file("panel.vcf"));
  return convert_panel(reader, chromosome);
}

std::string haplotype_file(const PanelData& panel) { return test::text_of(write_haplotype_file, panel); }
std::string reference_map(const PanelData& panel) { return test::text_of(write_reference_map, panel); }

const std::vector<std::string> kTwoSamples = {"S1", "S2"};

TEST(ConvertPanel, HaplotypesAndMapOfPhasedSnps) {
  TempDir dir;
  const std::string text = test::vcf_text(kTwoSamples, {
                                                         "7 100 rs1 A G 0|1 1|1",
                                                         "7 200 . c t 0/0 1|0",  // homozygous needs no phase
                                                         "7 300 rs3;rs3b G A .|1 ./.",
                                                     });
  // Small files often declare no contig; htslib reads on.
  const PanelData panel = convert_text(dir, std::regex_replace(text, std::regex("##contig.*\n"), ""));
  EXPECT_EQ(haplotype_file(panel), "0 0 ?\n1 0 1\n1 1 ?\n1 0 ?\n");
  EXPECT_EQ(reference_map(panel), "rsID position allele0 allele1\nrs1 100 A G\n7:200 200 C T\nrs3 300 G A\n");
  EXPECT_EQ(panel.summary.chromosome, "7");
  EXPECT_EQ(panel.summary.skipped_total(), 0);
}

TEST(ConvertPanel, SkippedRecordsAreCountedByReason) {
  TempDir dir;
  std::string text = test::vcf_text(kTwoSamples, {
                                                     "7 100 rs1 A G 0|1 0|0",
                                                     "7 110 rs2 A G,T 0|2 0|0",   // multi-allelic
                                                     "7 120 rs3 AT A 0|1 0|0",    // indel
                                                     "7 130 rs4 A <DEL> 0|1 0|0", // symbolic
                                                     "7 140 rs5 N G 0|1 0|0",     // not a base
                                                     "7 150 rs6 A a 0|1 0|0",     // REF = ALT
                                                     "7 160 rs7 A . 0|0 0|0",     // no ALT
                                                     "7 170 rs8 A G 0/1 0|0",     // unphased
                                                     "7 180 rs9 A G 0|0 0/.",     // half missing, unphased
                                                     "7 190 rs10 A G 0|1 1",      // mixed ploidy
                                                     "7 200 rs11 A G 0|1 0|0",
                                                     "7 200 rs12 A C 0|1 0|0",    // duplicate position
                                                     "7 210 rs13 A G 0|1 0|0",
                                                 });
  text = std::regex_replace(text, std::regex("GT\t0\\|1\t0\\|0\n$"), ".\t.\t.\n");  // rs13 without GT
  const PanelData panel = convert_text(dir, text);
  EXPECT_EQ(reference_map(panel), "rsID position allele0 allele1\nrs1 100 A G\nrs11 200 A G\n");
  std::ostringstream report;
  report_skipped(panel.summary, "panel.vcf", report);
  EXPECT_EQ(report.str(),
            "Skipped 11 of 13 records of panel.vcf:\n"
            "  1 without an ALT allele\n"
            "  1 multi-allelic\n"
            "  4 not a SNP (indel or other allele)\n"
            "  1 without GT values\n"
            "  2 with an unphased heterozygous genotype\n"
            "  1 with a genotype of other than two alleles (mixed ploidy)\n"
            "  1 at an already converted position (duplicate)\n");
}

TEST(ConvertPanel, CompressedAndBinaryInputGiveTheSameFiles) {
  TempDir dir;
  const std::string text = test::vcf_text(kTwoSamples, {"7 100 rs1 A G 0|1 1|1", "7 300 . G A .|1 1|0"});
  const PanelData plain = convert_text(dir, text);
  test::write_bgzipped(dir.file("panel.vcf.gz"), text);
  test::write_bcf(dir.file("panel.vcf"), dir.file("panel.bcf"));
  for (const char* name : {"panel.vcf.gz", "panel.bcf"}) {
    VcfReader reader(dir.file(name));
    const PanelData other = convert_panel(reader, std::nullopt);
    EXPECT_EQ(haplotype_file(other), haplotype_file(plain)) << name;
    EXPECT_EQ(reference_map(other), reference_map(plain)) << name;
  }
}

}  // namespace
}  // namespace snp::convert
