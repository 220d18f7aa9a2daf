// The helpers below the analysis stages: the uniform generator, the index
// sort, marker-set ranks, stored records and marker positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "analysis/search/best_cluster.h"
#include "genotypes/marker_naming.h"
#include "analysis/search/marker_set.h"
#include "analysis/search/quickindex.h"
#include "analysis/search/rand1.h"
#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

std::vector<int> sorted_positions(const std::vector<double>& values) {
  const int n = static_cast<int>(values.size());
  DoubleVector a = dvector(1, n);
  IntVector index = ivector(1, n);
  for (int i = 1; i <= n; ++i) a[i] = values[static_cast<size_t>(i - 1)];
  Quickindex(a, index, n);
  std::vector<int> order;
  for (int i = 1; i <= n; ++i) order.push_back(index[i]);
  return order;
}

TEST(AnalysisRand1, CombinesTheThreeGeneratorsFromTheirSeeds) {
  // The second modulus is 30309: with 30307 the first value would be 0.0507066.
  Rand1State state;
  EXPECT_NEAR(rand1(state), 0.0507055175818, 1e-12);
  EXPECT_NEAR(rand1(state), 0.6596366254125, 1e-12);
  state.seed(1, 3, 5);
  EXPECT_NEAR(rand1(state), 0.0507055175818, 1e-12);
}

TEST(AnalysisQuickindex, LeavesTiesInThePartitioningOrder) {
  // Up to seven elements are sorted by insertion, which keeps ties in place.
  EXPECT_EQ(sorted_positions({2, 1, 2, 1, 2}), (std::vector<int>{2, 4, 1, 3, 5}));
  // Eight equal values go through one median-of-three partition.
  EXPECT_EQ(sorted_positions(std::vector<double>(8, 0.5)), (std::vector<int>{1, 6, 7, 4, 5, 2, 3, 8}));
  Rand1State state;
  std::vector<double> many;
  for (int i = 0; i < 501; ++i) many.push_back(static_cast<int>(rand1(state) * 5));
  const auto order = sorted_positions(many);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), [&](int a, int b) {
    return many[static_cast<size_t>(a - 1)] < many[static_cast<size_t>(b - 1)];
  }));
}

TEST(AnalysisMarkerSet, UnranksSetsInLexicographicOrder) {
  const BinomialTable binomial(4, 2);
  const std::vector<std::vector<int>> pairs = {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
  for (int rank = 1; rank <= 6; ++rank)
    EXPECT_EQ(unrank_marker_set(binomial, 4, 2, rank), pairs[static_cast<size_t>(rank - 1)]) << rank;
  EXPECT_EQ(unrank_marker_set(binomial, 4, 1, 3), std::vector<int>{3});
  EXPECT_THROW(unrank_marker_set(binomial, 4, 2, 7), FatalError);
  const BinomialTable large(200, 2);
  EXPECT_EQ(unrank_marker_set(large, 200, 2, 19900), (std::vector<int>{199, 200}));
}

TEST(AnalysisBestCluster, ARecordMayUseEverySlotOfItsGenotypeSpace) {
  test::ScratchDir dir;
  const unsigned slots = genotype_space(1) + 1;
  BestClusterInformation record(1, slots, 5);
  record.Store(dir.file("store.txt"), 0);
  const auto back = BestClusterInformation::ReStore(dir.file("store.txt"), 0);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->ngroup, slots);
}

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
