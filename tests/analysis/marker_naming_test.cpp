#include "analysis/marker_naming.h"

#include <gtest/gtest.h>

#include <array>

#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

TEST(AnalysisMarkerNaming, PositionsOnChromosomes10And11SkipOneMarker) {
  test::ScratchDir dir;
  // 5 markers per chromosome, but 20000 on chromosome 10 and 18000 on 11.
  std::string lengths;
  for (int c = 1; c <= 26; ++c) lengths += std::to_string(c == 10 ? 20000 : c == 11 ? 18000 : 5) + " ";
  dir.write("Chromosome_SNP_Length.txt", lengths);
  MarkerNaming naming;
  naming.Datapath = dir.path() + "/";
  // Chromosome 10 starts at marker 45 and holds 19999 positions, skipping
  // one after position 19595.
  const std::array<int, 3> cases[] = {{4, 1, 5},           {5, 2, 1},           {45 + 19595, 10, 19596},
                                      {45 + 19596, 10, 19598}, {45 + 19999, 11, 1}, {45 + 19999 + 17283, 11, 17285}};
  for (const auto& [marker, expected_chromosome, expected_locus] : cases) {
    int chromosome = 0, locus = 0;
    naming.return_chromosome_and_locus(marker, &chromosome, &locus);
    EXPECT_EQ(chromosome, expected_chromosome) << marker;
    EXPECT_EQ(locus, expected_locus) << marker;
  }
}

}  // namespace
}  // namespace snp
