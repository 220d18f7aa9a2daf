#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "analysis/quickindex.h"
#include "analysis/rand1.h"

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

}  // namespace
}  // namespace snp
