// The calls of an imputed marker as the three writers show them.
#include <gtest/gtest.h>
#include <htslib/hts.h>
#include <htslib/kseq.h>
#include <htslib/vcf.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "engine_fixture.h"
#include "impute/probability_writer.h"
#include "impute/result_writer.h"
#include "impute/vcf_output.h"
#include "base/errors.h"
#include "test_support.h"

namespace snp {
namespace {

// Marker rs1 (A/G) typed 2 in individual 0, where the engine estimated code
// 1; individual 1 untyped with an estimate; individual 2 untyped with none.
struct ThreeCalls : test::EngineFixture {
  test::TempDir dir;
  std::vector<GenotypeCall> calls = {{true, {0, 1, 0}, 2}, {true, {0.25, 0.5, 0.25}, 1}, {false, {}, -1}};
  ThreeCalls() : EngineFixture({"01", "10"}, {"2.", "..", ".."}) {}
};

TEST(Calls, ObservedCodeFirstThenACallAboveTheThreshold) {
  EXPECT_EQ(output_code(0, 2, 1.0, 0.5), 0);
  EXPECT_EQ(output_code(-1, 1, 0.5, 0.5), -1);  // the threshold is strict
  EXPECT_EQ(output_code(-1, 1, 0.51, 0.5), 1);
  EXPECT_EQ(output_code(-1, 1, 0.0, -1.0), -1);  // nothing estimated is never called
}

TEST(Writers, ResultAndProbabilityLines) {
  ThreeCalls f;
  ResultWriter result(f.dir.file("r.txt"), f.panel, false);
  ProbabilityWriter probabilities(f.dir.file("p.txt"), f.panel);
  result.write(0, f.calls);
  probabilities.write(0, f.calls);
  result.close();
  probabilities.close();
  EXPECT_EQ(f.dir.read("r.txt"), "1\trs1 100 A G 2 1 -1 \n");
  EXPECT_EQ(f.dir.read("p.txt"), "1\trs1 100 A G 0.0000 1.0000 0.0000 0.2500 0.5000 0.2500 NA NA NA \n");
}

std::vector<std::string> vcf_records(const std::string& path) {
  std::vector<std::string> records;
  htsFile* file = hts_open(path.c_str(), "r");
  kstring_t line = {0, 0, nullptr};
  while (file && hts_getline(file, KS_SEP_LINE, &line) >= 0)
    if (line.s[0] != '#') records.emplace_back(line.s);
  free(line.s);
  if (file) hts_close(file);
  return records;
}

VcfLayout layout_of(const StudyGenotypes& study) { return default_vcf_layout(7, study); }

TEST(Writers, DosageR2FromGenotypeProbabilities) {
  using P = std::array<double, 3>;
  EXPECT_EQ(dosage_r2({}), 0);
  EXPECT_EQ(dosage_r2({P{1, 0, 0}, P{0, 0, 1}, P{0, 1, 0}}), 1);  // all certain
  EXPECT_EQ(dosage_r2({P{0, 1, 0}, P{0, 1, 0}}), 1);              // certain, even without variance
  EXPECT_EQ(dosage_r2({P{0.25, 0.5, 0.25}, P{0, 1, 0}}), 0);      // identical dosages
  // Dosages 0, 2, 1: variance sum 5 - 9/3 = 2 over expected 5.5 - 3 = 2.5.
  EXPECT_DOUBLE_EQ(dosage_r2({P{1, 0, 0}, P{0, 0, 1}, P{0.25, 0.5, 0.25}}), 0.8);
  // Where nothing was observed, certain but constant dosages (an allele
  // absent from the panel) carry no information; varying ones keep theirs.
  EXPECT_EQ(imputed_r2({P{1, 0, 0}, P{1, 0, 0}, P{1, 0, 0}}), 0);
  EXPECT_EQ(imputed_r2({P{0, 1, 0}, P{0, 1, 0}}), 0);
  EXPECT_DOUBLE_EQ(imputed_r2({P{1, 0, 0}, P{0, 0, 1}, P{0.25, 0.5, 0.25}}), 0.8);
  EXPECT_EQ(imputed_r2({P{1, 0, 0}, P{0, 0, 1}}), 1);
}

TEST(Writers, VcfQualityAndProbabilities) {
  ThreeCalls f;
  std::ostringstream warnings;
  VcfWriter vcf(f.dir.file("v.vcf.gz"), layout_of(f.study), f.panel, f.study, warnings);
  vcf.write(0, f.calls);
  vcf.write(1, {{true, {0, 0, 1}, 2}, f.calls[1], f.calls[2]});
  vcf.close();
  // GP and DS show the observed genotype where typed, so AF is (2 + 1) / 4
  // and R2 is that of the written dosages 2 and 1: 0.5 / (5.5 - 4.5).
  EXPECT_EQ(vcf_records(f.dir.file("v.vcf.gz")),
            (std::vector<std::string>{
                "7\t100\trs1\tA\tG\t.\t.\tAF=0.75;R2=0.5;TYPED\tGT:DS:GP\t1/1:2:0,0,1\t0/1:1:0.25,0.5,0.25\t./.:.:.,.,.",
                "7\t200\trs2\tA\tG\t.\t.\tAF=0.75;R2=0.5;IMP\tGT:DS:GP\t1/1:2:0,0,1\t0/1:1:0.25,0.5,0.25\t./.:.:.,.,."}));
  EXPECT_EQ(warnings.str(), "");
}

TEST(Writers, VcfFormatFollowsTheNameWithItsIndex) {
  EXPECT_EQ(vcf_format_for("a/b.vcf.gz"), VcfFormat::bgzipped);
  EXPECT_EQ(vcf_format_for("b.bcf"), VcfFormat::bcf);
  EXPECT_EQ(vcf_format_for("b.vcf"), VcfFormat::plain);
  for (const char* other : {"c.txt", "c.vcf.bgz", "c.gz", ".vcf", "dir.vcf/x"}) EXPECT_FALSE(vcf_format_for(other)) << other;
  ThreeCalls f;
  std::ostringstream warnings;
  for (const char* name : {"v.vcf.gz", "v.bcf", "v.vcf"}) {
    VcfWriter vcf(f.dir.file(name), layout_of(f.study), f.panel, f.study, warnings);
    vcf.write(0, f.calls);
    vcf.close();
    htsFile* file = hts_open(f.dir.file(name).c_str(), "r");
    ASSERT_NE(file, nullptr);
    const htsExactFormat format = hts_get_format(file)->format;
    const htsCompression compression = hts_get_format(file)->compression;
    hts_close(file);
    EXPECT_EQ(format, std::string(name) == "v.bcf" ? htsExactFormat::bcf : htsExactFormat::vcf) << name;
    EXPECT_EQ(compression == no_compression, std::string(name) == "v.vcf") << name;
  }
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(f.dir.path())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"v.bcf", "v.bcf.csi", "v.vcf", "v.vcf.gz", "v.vcf.gz.tbi"}));
}

TEST(Writers, VcfCompressedOnThreadsGivesTheSameBytes) {
  ThreeCalls f;
  std::ostringstream warnings;
  for (const char* name : {"one.vcf.gz", "three.vcf.gz", "one.bcf", "three.bcf"}) {
    VcfWriter vcf(f.dir.file(name), layout_of(f.study), f.panel, f.study, warnings, name[0] == 'o' ? 1 : 3);
    for (int m = 0; m < 2; ++m) vcf.write(m, f.calls);
    vcf.close();
  }
  EXPECT_EQ(f.dir.read("one.vcf.gz"), f.dir.read("three.vcf.gz"));
  EXPECT_EQ(f.dir.read("one.vcf.gz.tbi"), f.dir.read("three.vcf.gz.tbi"));
  EXPECT_EQ(f.dir.read("one.bcf"), f.dir.read("three.bcf"));
}

TEST(Writers, VcfKeepsTheRecordedSampleOrderAndContig) {
  ThreeCalls f;
  f.study.ids = {"case1", "control1", "control2"};
  std::ostringstream warnings;
  const RecordedLayout recorded =
      parse_study_layout("# comment\ncontig\tchr7\nsample\tcontrol2\nsample\tcase1\r\nsample\tcontrol1\n", "L");
  VcfWriter vcf(f.dir.file("v.vcf.gz"), vcf_layout(recorded, "L", 7, f.study, warnings), f.panel, f.study, warnings);
  vcf.write(0, f.calls);
  vcf.close();
  htsFile* file = hts_open(f.dir.file("v.vcf.gz").c_str(), "r");
  bcf_hdr_t* header = bcf_hdr_read(file);
  bcf1_t* record = bcf_init();
  ASSERT_EQ(bcf_read(file, header, record), 0);
  EXPECT_STREQ(bcf_seqname(header, record), "chr7");
  EXPECT_EQ(std::vector<std::string>(header->samples, header->samples + bcf_hdr_nsamples(header)),
            (std::vector<std::string>{"control2", "case1", "control1"}));
  bcf_destroy(record);
  bcf_hdr_destroy(header);
  hts_close(file);
  const std::string line = vcf_records(f.dir.file("v.vcf.gz"))[0];
  EXPECT_EQ(line.substr(line.find("GT:DS:GP")), "GT:DS:GP\t./.:.:.,.,.\t1/1:2:0,0,1\t0/1:1:0.25,0.5,0.25");
  // A layout of other samples falls back to cases then controls.
  const VcfLayout stale = vcf_layout(parse_study_layout("contig\tchr7\nsample\tcase1\n", "L"), "L", 7, f.study, warnings);
  EXPECT_EQ(stale.contig, "7");
  EXPECT_EQ(stale.sample_rows, (std::vector<int>{0, 1, 2}));
  EXPECT_NE(warnings.str().find("Warning: L: its samples are not those of the genotype files"), std::string::npos);
  EXPECT_THROW(parse_study_layout("contig chr7\n", "L"), InputError);
  EXPECT_THROW(parse_study_layout("sample\ta\n", "L"), InputError);
}

TEST(Writers, VcfLeavesOutLettersThatAreNotTwoBasesAndAppearsOnlyWhenComplete) {
  ThreeCalls f;
  f.panel.letters = {{'a', 'N'}, {'A', 'a'}};
  f.dir.write("v.vcf.gz", "previous");
  std::ostringstream warnings;
  {
    VcfWriter unfinished(f.dir.file("v.vcf.gz"), layout_of(f.study), f.panel, f.study, warnings);
    unfinished.write(0, f.calls);
  }
  EXPECT_EQ(f.dir.read("v.vcf.gz"), "previous");
  const std::vector<std::string> left_out = {"-G", "A,", "AA", "AX", "G*"};
  f.panel.letters.resize(2 + left_out.size());
  f.panel.positions.resize(f.panel.letters.size(), 300);
  f.panel.names.resize(f.panel.letters.size(), "bad");
  for (size_t m = 0; m < left_out.size(); ++m) f.panel.letters[2 + m] = {left_out[m][0], left_out[m][1]};
  f.study.codes = CodeMatrix(3, static_cast<int>(f.panel.letters.size()), -1);
  VcfWriter vcf(f.dir.file("v.vcf.gz"), layout_of(f.study), f.panel, f.study, warnings);
  for (int m = 0; m < static_cast<int>(f.panel.letters.size()); ++m) vcf.write(m, f.calls);
  vcf.close();
  const std::vector<std::string> records = vcf_records(f.dir.file("v.vcf.gz"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].substr(0, 14), "7\t100\trs1\ta\tN\t");
  EXPECT_EQ(warnings.str(), "Warning: " + f.dir.file("v.vcf.gz") +
                                ": 6 markers left out, their map letters not being two different VCF bases (A, C, G, "
                                "T, N)\n");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(f.dir.path())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"v.vcf.gz", "v.vcf.gz.tbi"}));
}

}  // namespace
}  // namespace snp
