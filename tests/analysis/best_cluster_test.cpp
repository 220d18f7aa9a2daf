#include "analysis/best_cluster.h"

#include <gtest/gtest.h>

#include "analysis/marker_set.h"
#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

using test::ScratchDir;

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

TEST(AnalysisBestCluster, RecordsComeBackInAnyOrderWithSixDigitShares) {
  ScratchDir dir;
  const auto file = dir.file("store.txt");
  dir.write("store.txt", "0.5 1 0 \n-0.5 0 1 \npara  2 2\n");
  BestClusterInformation first(1, 2, 152);
  first.setrank = 3;
  first.Tindex[1].set(3);
  BestClusterInformation second(2, 3, 152);
  second.setrank = 4711;
  second.Nozerogroupnum = 2;
  second.Tindex[0].set(1);
  second.Tindex[2].set(9);
  second.GenotypeCode = {0, 8, 0, 4, 5, 0, 0, 0, 0, 1};
  second.GroupFrequency = {1.0 / 3.0, 0.25, 0.0};
  second.GroupAverage = {0.123456789, 2.0 / 3.0, 0.0};
  ASSERT_EQ(first.Store(file, 0), 1);
  ASSERT_EQ(second.Store(file, 1), 1);
  const auto back = BestClusterInformation::ReStore(file, 1);
  ASSERT_NE(back, nullptr);
  auto expected = second;
  expected.GroupFrequency = {0.333333, 0.25, 0.0};
  expected.GroupAverage = {0.123457, 0.666667, 0.0};
  EXPECT_EQ(*back, expected);
  EXPECT_TRUE(back->in_group(2, 1));  // slot 9 holds genotype class 1
  const auto front = BestClusterInformation::ReStore(file, 0);
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(*front, first);
  EXPECT_EQ(BestClusterInformation::ReStore(file, 2), nullptr);
}

}  // namespace
}  // namespace snp
