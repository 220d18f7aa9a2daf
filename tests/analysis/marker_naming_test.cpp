#include "analysis/marker_naming.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

using test::ScratchDir;

// Chromosomes 1..26 with 5 markers each, but 20000 on chromosome 10 and
// 18000 on chromosome 11.
std::string length_text() {
  std::string text;
  for (int c = 1; c <= 26; ++c) text += std::to_string(c == 10 ? 20000 : c == 11 ? 18000 : 5) + (c % 6 ? " " : "\n");
  return text;
}

MarkerNaming naming_in(const ScratchDir& dir) {
  MarkerNaming naming;
  naming.Datapath = dir.path() + "/";
  return naming;
}

TEST(AnalysisMarkerNaming, MapsMarkersToChromosomeAndLocus) {
  ScratchDir dir;
  dir.write("Chromosome_SNP_Length.txt", length_text());
  auto naming = naming_in(dir);
  int chromosome = 0, locus = 0;
  EXPECT_EQ(naming.return_chromosome_and_locus(0, &chromosome, &locus), 1);
  // Chromosome 10 starts at 45 and holds 19999 positions, skipping one
  // after position 19595.
  const std::array<int, 3> cases[] = {{0, 1, 1},          {4, 1, 5},          {5, 2, 1},
                                      {45 + 19595, 10, 19596}, {45 + 19596, 10, 19598}, {45 + 19998, 10, 20000},
                                      {45 + 19999, 11, 1},     {45 + 19999 + 17283, 11, 17285}};
  for (const auto& [marker, expected_chromosome, expected_locus] : cases) {
    naming.return_chromosome_and_locus(marker, &chromosome, &locus);
    EXPECT_EQ(chromosome, expected_chromosome) << marker;
    EXPECT_EQ(locus, expected_locus) << marker;
  }
  EXPECT_THROW(naming.return_chromosome_and_locus(-1, &chromosome, &locus), InputError);
}

TEST(AnalysisMarkerNaming, ReadsNamesOnceAndKeepsThem) {
  ScratchDir dir;
  dir.write("Chromosome_SNP_Length.txt", length_text());
  std::filesystem::create_directory(dir.file("cc555k_map"));
  dir.write("cc555k_map/cc555k_chr2.snps",
            "1 2 rs10 a b c d e\n1 2 rs11 a b c d e\n\n1 2 rs12 a b c d e\n1 2 rs13 a b c d e\n1 2 rs14 a b c d e\n");
  auto naming = naming_in(dir);
  EXPECT_EQ(naming.findSNPname(2, 1), "rs10");
  EXPECT_EQ(naming.findSNPname(2, 5), "rs14");
  std::filesystem::remove(dir.file("cc555k_map/cc555k_chr2.snps"));
  std::filesystem::remove(dir.file("Chromosome_SNP_Length.txt"));
  EXPECT_EQ(naming.findSNPname(2, 3), "rs12");
  int chromosome = 0, locus = 0;
  naming.return_chromosome_and_locus(7, &chromosome, &locus);
  EXPECT_EQ(chromosome, 2);
}

TEST(AnalysisMarkerNaming, MissingOrShortFilesAreFatalAndNamed) {
  ScratchDir dir;
  auto naming = naming_in(dir);
  int chromosome = 0, locus = 0;
  try {
    naming.return_chromosome_and_locus(3, &chromosome, &locus);
    FAIL() << "no error";
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "open file " + dir.path() + "/Chromosome_SNP_Length.txt have some error\n");
    EXPECT_EQ(e.exit_status(), 1);
  }

  dir.write("Chromosome_SNP_Length.txt", length_text());
  std::filesystem::create_directory(dir.file("cc555k_map"));
  try {
    naming.findSNPname(3, 1);
    FAIL() << "no error";
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "find error open " + dir.path() + "/cc555k_map/cc555k_chr3.snps\n");
  }
  dir.write("cc555k_map/cc555k_chr5.snps", "1 2 rs1 a b c d e\n");
  EXPECT_THROW(naming.findSNPname(5, 1), InputError);
}

}  // namespace
}  // namespace snp
