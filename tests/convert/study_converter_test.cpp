// Study conversion: genotype letters, case selection, matching to the
// panel, the parameter file and the panel directory files.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "convert/output_files.h"
#include "convert/panel_directory.h"
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
  EXPECT_EQ(count_haplotype_lines("0 1\n1 ?\n0 0 \r\n", "h", 2), 3);
  EXPECT_EQ(error_of([] { count_haplotype_lines("0 1\n1 ? 0\n", "h", 2); }),
            "Error: line 2 of h: expected 2 allele codes, found 3\n");
  EXPECT_EQ(error_of([] { parse_reference_map("a b c d\nrs1 1x A G\n", "m"); }),
            "Error: line 2 of m: expected an integer position, found \"1x\"\n");
  EXPECT_EQ(error_of([] { parse_reference_map("a b c d\n", "m"); }),
            "Error: m: expected marker records after the header, found none\n");
}

}  // namespace
}  // namespace snp::convert
