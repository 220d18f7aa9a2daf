// Study conversion: genotype letters, case selection, matching to the
// panel, the parameter file and the panel directory files.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "convert/output_files.h"
#include "convert/panel_directory.h"
#include "convert/strand_check.h"
#include "convert/study_converter.h"
#include "base/errors.h"
#include "test_support.h"
#include "vcf_fixture.h"

namespace snp::convert {
namespace {

using snp::test::TempDir;

StudyData convert_text(const TempDir& dir, const std::string& text, const std::vector<std::string>& cases) {
  dir.write("study.vcf", text);
  VcfReader reader(dir.file("study.vcf"));
  return convert_study(reader, cases, "ids.txt", std::nullopt);
}

std::string genotype_file(const StudyData& study, bool cases) {
  return test::text_of([cases](const StudyData& d, std::ostream& out) { write_genotypes(d, cases, out); }, study);
}

// The InputError message of `call`, with `dir` shown as DIR; "" without error.
template <class Call>
std::string error_of(Call&& call, const std::string& dir = "DIR") {
  try {
    call();
  } catch (const InputError& error) {
    return std::regex_replace(error.what(), std::regex(dir), "DIR");
  }
  return "";
}

const std::vector<std::string> kRows = {
    "chr7 100 rs1 A G 0/1 1|1 0/0 ./.",
    "chr7 200 . C T 1/0 0/. 1 1/1",  // half missing; haploid written missing
    "chr7 300 rs3 G A 0|0 1|0 0/1 ./1",
};

TEST(ConvertStudy, GenotypeFilesInSampleOrder) {
  TempDir dir;
  const StudyData study = convert_text(dir, test::vcf_text({"A1", "B2", "C3", "D4"}, kRows), {"D4", "B2"});
  EXPECT_EQ(genotype_file(study, true), "B2 1 G G C 0 A G \nD4 1 0 0 T T 0 A \n");
  EXPECT_EQ(genotype_file(study, false), "A1 0 A G T C G G \nC3 0 A A 0 0 G A \n");
  EXPECT_EQ(test::text_of(write_study_map, study),
            "chr7 1 rs1 A G 100 0 0\nchr7 2 chr7:200 C T 200 0 0\nchr7 3 rs3 G A 300 0 0\n");
  EXPECT_EQ(study.non_diploid_genotypes, 1);
  EXPECT_EQ(study.count(true), 2);
  EXPECT_EQ(study.count(false), 2);
}

TEST(ConvertStudy, CaseIdsAndTheirErrors) {
  EXPECT_EQ(parse_case_ids("\xEF\xBB\xBF# cases\nB2\n\n  D4\nB2\r\n", "ids"), (std::vector<std::string>{"B2", "D4"}));
  EXPECT_THROW(parse_case_ids("B2\nS1 S2\n", "ids"), InputError);
  TempDir dir;
  const auto converting = [&](const std::vector<std::string>& samples, const std::vector<std::string>& cases) {
    return error_of([&] { convert_text(dir, test::vcf_text(samples, {"7 100 rs1 A G 0/1 1/1 0/0"}), cases); },
                    dir.path());
  };
  EXPECT_EQ(converting({"A1", "B 2", "C3"}, {}),
            "Error: DIR/study.vcf: sample ID \"B 2\" holds white space, which the genotype files cannot hold\n");
  EXPECT_EQ(converting({"A1", "B2", "C3"}, {}), "");  // no cases: every sample is a control
}

TEST(ConvertStudy, MarkersTakePanelNamesByPosition) {
  TempDir dir;
  StudyData study = convert_text(dir, test::vcf_text({"A1"}, {"7 100 rs1 A G 0/1", "7 200 . C T 0/1",
                                                               "7 300 chip3 G A 0/1", "7 400 chip4 A C 0/1",
                                                               "7 500 chip5 A G 0/1"}),
                                 {});
  const std::vector<ConvertedMarker> panel = {{"rs1", 999, 'A', 'G'},   {"rs200", 200, 'T', 'C'},
                                              {"rs300", 300, 'C', 'T'}, {"rs400", 400, 'A', 'G'},
                                              {"rs500a", 500, 'A', 'T'}, {"rs500b", 500, 'A', 'G'}};
  const NameMatch match = match_panel_names(study, panel);
  EXPECT_EQ(match.by_name, 1);
  EXPECT_EQ(match.by_position, 3);  // swapped, complementary, second panel marker at a position
  EXPECT_EQ(match.unmatched, 1);    // letters A/C against A/G
  std::vector<std::string> names;
  for (const auto& m : study.markers) names.push_back(m.name);
  EXPECT_EQ(names, (std::vector<std::string>{"rs1", "rs200", "rs300", "chip4", "rs500b"}));
}

TEST(ConvertStrand, OppositeSidesOfHalfBeyondSampling) {
  EXPECT_TRUE(suggests_other_strand({8, 40}, {32, 40}));
  EXPECT_TRUE(suggests_other_strand({30, 40}, {9, 38}));
  EXPECT_FALSE(suggests_other_strand({8, 40}, {10, 40}));   // same side
  EXPECT_FALSE(suggests_other_strand({17, 40}, {32, 40}));  // study within 0.1 of 0.5
  EXPECT_TRUE(suggests_other_strand({16, 40}, {32, 40}));   // 0.4 is far enough
  // 0.35 against 0.65: 0.30 apart, three standard errors are 0.335 with 40
  // copies each and 0.106 with 400
  EXPECT_FALSE(suggests_other_strand({14, 40}, {26, 40}));
  EXPECT_TRUE(suggests_other_strand({140, 400}, {260, 400}));
  EXPECT_FALSE(suggests_other_strand({0, 0}, {40, 40}));
}

TEST(ConvertStrand, AmbiguousMarkersLeaveMapAndLetters) {
  TempDir dir;
  StudyData study = convert_text(dir, test::vcf_text({"A1", "B2"}, {"7 100 m1 A T 0/1 1/1", "7 200 m2 A G 0/1 ./1",
                                                                    "7 300 m3 G C 1/1 0/0", "7 400 m4 T G 0/0 1/1"}),
                                 {"B2"});
  EXPECT_EQ(drop_ambiguous(study), 2);
  EXPECT_EQ(test::text_of(write_study_map, study), "7 1 m2 A G 200 0 0\n7 2 m4 T G 400 0 0\n");
  EXPECT_EQ(genotype_file(study, true), "B2 1 0 G G G \n");
  EXPECT_EQ(genotype_file(study, false), "A1 0 A G T T \n");
}

TEST(ConvertStrand, ComparesTheStudyAltLetterInThePanel) {
  TempDir dir;
  // m1: study T 30 of 39 (one missing call), panel T 0.25 with letters swapped;
  // m2: same frequencies; m3: letters A/G
  std::vector<std::string> rows = {"7 100 m1 A T", "7 200 m2 C G", "7 300 m3 A G"};
  std::vector<std::string> samples;
  for (int s = 0; s < 20; ++s) {
    samples.push_back(std::to_string(s));  // sample IDs 0 to 19
    for (size_t k = 0; k < rows.size(); ++k) rows[k] += s < 10 ? " 1/1" : s < 19 ? " 0/1" : k ? " 1/0" : " ./1";
  }
  StudyData study = convert_text(dir, test::vcf_text(samples, rows), {});
  PanelIndex panel{"DIR/", {{"m1", 100, 'T', 'A'}, {"m2", 200, 'C', 'G'}, {"m3", 300, 'A', 'G'}}, 40,
                   {{30, 40}, {29, 40}, {0, 40}}};
  const std::vector<StrandSuspect> suspects = check_strand(study, panel);
  ASSERT_EQ(suspects.size(), 1u);
  EXPECT_EQ(suspects[0].marker.name, "m1");
  EXPECT_NEAR(suspects[0].study_frequency, 30.0 / 39, 1e-12);
  EXPECT_NEAR(suspects[0].panel_frequency, 0.25, 1e-12);
  std::ostringstream err;
  report_strand(suspects, "DIR/strand_check.tsv", err);
  EXPECT_EQ(err.str(), "Warning: 1 A/T or C/G marker has ALT frequencies on opposite sides of 0.5 in the study and "
                       "the panel, as if typed on the other strand: m1 (all in DIR/strand_check.tsv; "
                       "--exclude-ambiguous leaves every A/T and C/G marker out)\n");
}

TEST(ConvertParameters, ChromosomeNumbers) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"7", 7},        {"chr12", 12},  {"chrX", 23}, {"Y", 24}, {"chrMT", 26}, {"NC_000007.14", std::nullopt},
      {"chr-1", std::nullopt}};
  for (const auto& [name, number] : cases) EXPECT_EQ(chromosome_number(name), number) << name;
}

TEST(ConvertPanelDirectory, MapAndHaplotypeCountsMustAgree) {
  const auto markers = parse_reference_map("rsID position allele0 allele1\nrs1 100 A G\n7:200 200 CT\n", "m");
  ASSERT_EQ(markers.size(), 2u);
  EXPECT_EQ(markers[1].name, "7:200");
  EXPECT_EQ(markers[1].position, 200);
  EXPECT_EQ(markers[1].alt, 'T');
  const HaplotypeTally tally = tally_haplotypes("0 1\n1 ?\n0 0 \r\n", "h", 2);
  EXPECT_EQ(tally.lines, 3);
  ASSERT_EQ(tally.counts.size(), 2u);
  EXPECT_EQ(std::pair(tally.counts[0].alt, tally.counts[0].called), std::pair(1, 3));
  EXPECT_EQ(std::pair(tally.counts[1].alt, tally.counts[1].called), std::pair(1, 2));  // '?' is not called
  EXPECT_EQ(error_of([] { tally_haplotypes("0 1\n1 ? 0\n", "h", 2); }),
            "Error: line 2 of h: expected 2 allele codes, found 3\n");
  EXPECT_EQ(error_of([] { parse_reference_map("a b c d\nrs1 1x A G\n", "m"); }),
            "Error: line 2 of m: expected an integer position, found \"1x\"\n");
  EXPECT_EQ(error_of([] { parse_reference_map("a b c d\n", "m"); }),
            "Error: m: expected marker records after the header, found none\n");
}

}  // namespace
}  // namespace snp::convert
