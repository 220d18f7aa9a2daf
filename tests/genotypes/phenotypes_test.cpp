#include "genotypes/phenotypes.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "test_support.h"

namespace snp::genotypes {
namespace {

using test::TempDir;
using Values = std::vector<std::optional<double>>;

std::vector<Sample> samples_with(const std::vector<std::string>& phenotypes) {
  std::vector<Sample> samples;
  for (size_t s = 0; s < phenotypes.size(); ++s)
    samples.push_back(Sample{std::string("F").append(std::to_string(s % 2)), std::string("i").append(std::to_string(s)),
                             0, phenotypes[s]});
  return samples;
}

std::string error_of(const std::function<void()>& run) {
  try {
    run();
  } catch (const InputError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(Phenotypes, FamStatusTwoIsCaseOneControlTheRestExcluded) {
  const Phenotypes p = phenotypes_from_fam(samples_with({"2", "1", "0", "-9", "NA", "2"}), "f.fam");
  EXPECT_EQ(p.kind, PhenotypeKind::case_control);
  EXPECT_EQ(p.values, (Values{1.0, 0.0, std::nullopt, std::nullopt, std::nullopt, 1.0}));
  EXPECT_EQ(p.excluded, 3);
  EXPECT_EQ(p.cases(), 2);
  EXPECT_EQ(p.controls(), 1);
  const Phenotypes q = phenotypes_from_fam(samples_with({"2", "0", "3.5", "-9"}), "f.fam");
  EXPECT_EQ(q.kind, PhenotypeKind::quantitative);
  EXPECT_EQ(q.values, (Values{2.0, 0.0, 3.5, std::nullopt}));
  EXPECT_EQ(q.cases(), 0);
  EXPECT_NE(error_of([] { phenotypes_from_fam(samples_with({"1", "case"}), "f.fam"); })
                .find("Error: f.fam: phenotype \"case\" of sample 2 (i1) is no number"),
            std::string::npos);
}

TEST(Phenotypes, CaseListMatchesIidOrFamilyAndIid) {
  TempDir dir;
  dir.write("cases.txt", "i0\n\nF1 i3\r\nF0 i1\nnobody\n");
  const Phenotypes p = phenotypes_from_case_list(samples_with({"", "", "", "", ""}), dir.file("cases.txt"));
  EXPECT_EQ(p.values, (Values{1.0, 0.0, 0.0, 1.0, 0.0}));
  EXPECT_EQ(p.unmatched_ids, 2);  // F0 i1 (i1 is of family F1) and nobody
  EXPECT_EQ(p.excluded, 0);
  // Samples without a family (VCF) match whatever FID the list gives.
  const std::vector<Sample> vcf_samples = {{"v1", "v1", 0, ""}, {"v2", "v2", 0, ""}};
  dir.write("cases.txt", "fam9 v2\n");
  EXPECT_EQ(phenotypes_from_case_list(vcf_samples, dir.file("cases.txt")).values, (Values{0.0, 1.0}));
  dir.write("cases.txt", "a b c\n");
  EXPECT_NE(error_of([&] { phenotypes_from_case_list(samples_with({""}), dir.file("cases.txt")); })
                .find("line 1 of " + dir.file("cases.txt") + ": expected one sample ID"),
            std::string::npos);
}

TEST(Phenotypes, FileCodingsAndMissingValues) {
  TempDir dir;
  const auto samples = samples_with({"", "", "", ""});
  const auto read = [&](const std::string& text, const std::string& column = "") {
    dir.write("p.txt", text);
    return phenotypes_from_file(samples, dir.file("p.txt"), {column, false, "--quantitative"});
  };
  Phenotypes p = read("FID IID status\nF0 i0 2\nF1 i1 1\nF0 i2 NA\nF9 i3 2\n");
  EXPECT_EQ(p.values, (Values{1.0, 0.0, std::nullopt, std::nullopt}));
  EXPECT_EQ(p.excluded, 2);
  EXPECT_EQ(p.unmatched_ids, 1);
  p = read("ID\tstatus\ni0\t0\ni1\t1\ni2\t-9\ni3\t0\n");
  EXPECT_EQ(p.kind, PhenotypeKind::case_control);
  EXPECT_EQ(p.values, (Values{0.0, 1.0, std::nullopt, 0.0}));
  p = read("#IID age bmi\ni0 30 21.5\ni1 40 -9\ni2 50 NA\ni3 60 30\n", "bmi");
  EXPECT_EQ(p.kind, PhenotypeKind::quantitative);
  EXPECT_EQ(p.values, (Values{21.5, std::nullopt, std::nullopt, 30.0}));
  const std::string path = dir.file("p.txt");
  EXPECT_NE(error_of([&] { read("name status\ni0 1\n"); }).find("line 1 of " + path + ": the header names no IID"),
            std::string::npos);
  EXPECT_NE(error_of([&] { read("IID status\ni0 1\ni1\n"); }).find("line 3 of " + path + ": expected 2 fields"),
            std::string::npos);
  EXPECT_NE(error_of([&] { read("IID status\ni0 yes\n"); }).find("phenotype \"yes\" is no number"), std::string::npos);
  EXPECT_NE(error_of([&] { read("IID status\ni0 1\ni0 2\n"); }).find("line 3 of " + path + ": sample \"i0\" appears"),
            std::string::npos);
  EXPECT_NE(error_of([&] { read("IID status\n", "age"); }).find("names no column \"age\""), std::string::npos);
  EXPECT_NE(error_of([&] { read(""); }).find("empty"), std::string::npos);
}

TEST(Phenotypes, StatusCodingsStrayValuesAndColumns) {
  TempDir dir;
  const auto samples = samples_with({"", "", "", ""});
  const std::string path = dir.file("p.txt");
  const auto read = [&](const std::string& text, const PhenotypeOptions& options = {}) {
    dir.write("p.txt", text);
    return phenotypes_from_file(samples, path, options);
  };
  // In a 2/1 column 0 is missing; 2/1 mixed with 1/0 reads as 2/1.
  Phenotypes p = read("IID s\ni0 2\ni1 1\ni2 0\ni3 1\n");
  EXPECT_EQ(p.kind, PhenotypeKind::case_control);
  EXPECT_EQ(p.values, (Values{1.0, 0.0, std::nullopt, 0.0}));
  // A stray value is an error naming line and value, unless asked for.
  EXPECT_NE(error_of([&] { read("IID s\ni0 2\ni1 1\ni2 3\n", {"", false, "--quantitative"}); })
                .find("line 4 of " + path + ": phenotype 3 fits no case/control coding (2 case, 1 control, 0 missing; "
                      "-9 and NA missing); --quantitative reads"),
            std::string::npos);
  p = read("IID s\ni0 2\ni1 1\ni2 3\n", {"", true, "--quantitative"});
  EXPECT_EQ(p.kind, PhenotypeKind::quantitative);
  EXPECT_EQ(p.values, (Values{2.0, 1.0, 3.0, std::nullopt}));
  EXPECT_TRUE(p.notes.empty());
  // Most values not codes: quantitative by the rule, which a note prints.
  p = read("IID s\ni0 12\ni1 1\ni2 30\n");
  EXPECT_EQ(p.kind, PhenotypeKind::quantitative);
  EXPECT_EQ(p.notes, (std::vector<std::string>{"Note: " + path +
                                               ": the phenotype is read as quantitative (most values are not 0, 1 or 2)"}));
  // The first value column unless one is named, with a note; a
  // byte-order mark before the header is skipped.
  p = read("\xEF\xBB\xBF" "FID IID SEX status\nF0 i0 1 2\nF1 i1 2 1\n");
  EXPECT_EQ(p.values, (Values{0.0, 1.0, std::nullopt, std::nullopt}));
  EXPECT_EQ(p.notes.at(0), "Note: " + path + ": the phenotype is column SEX, the first of 2 value columns "
                           "(--pheno-name NAME reads another)");
  p = read("FID IID SEX status\nF0 i0 1 2\nF1 i1 2 1\n", {"status"});
  EXPECT_EQ(p.values, (Values{1.0, 0.0, std::nullopt, std::nullopt}));
  EXPECT_TRUE(p.notes.empty());
  // The .fam alike: a stray value names its line.
  EXPECT_NE(error_of([] { phenotypes_from_fam(samples_with({"2", "1", "1", "3"}), "f.fam"); })
                .find("Error: line 4 of f.fam: phenotype 3 fits no case/control coding"),
            std::string::npos);
  dir.write("cases.txt", "\xEF\xBB\xBFi1\nno\tbody\n");
  p = phenotypes_from_case_list(samples, dir.file("cases.txt"));
  EXPECT_EQ(p.values, (Values{0.0, 1.0, 0.0, 0.0}));
  EXPECT_EQ(listed_ids({"a\x01", "\xC3\xA9", "b", "c", "d", "e"}), "\"a\\x01\", \"\\xc3\\xa9\", \"b\", \"c\", \"d\", ...");
}

TEST(Phenotypes, CountsPutCasesFirst) {
  const Phenotypes p = phenotypes_from_counts(2, 1);
  EXPECT_EQ(p.values, (Values{1.0, 1.0, 0.0}));
}

}  // namespace
}  // namespace snp::genotypes
