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
  EXPECT_NEAR(rand1(state), 0.9607424544289, 1e-12);
  state.seed(1, 3, 5);
  EXPECT_NEAR(rand1(state), 0.0507055175818, 1e-12);
}

TEST(AnalysisQuickindex, SortsAscendingAtEverySizeAndWithManyTies) {
  Rand1State state;
  for (int n : {0, 1, 2, 6, 7, 8, 9, 50, 501, 5000}) {
    std::vector<double> values;
    for (int i = 0; i < n; ++i) values.push_back(static_cast<int>(rand1(state) * 5));  // five distinct values
    const auto order = sorted_positions(values);
    ASSERT_EQ(static_cast<int>(order.size()), n);
    std::vector<int> seen = order;
    std::sort(seen.begin(), seen.end());
    for (int i = 0; i < n; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], i + 1) << "n=" << n;
    for (int i = 1; i < n; ++i)
      ASSERT_LE(values[static_cast<size_t>(order[static_cast<size_t>(i - 1)] - 1)],
                values[static_cast<size_t>(order[static_cast<size_t>(i)] - 1)])
          << "n=" << n;
  }
}

TEST(AnalysisQuickindex, LeavesTiesInThePartitioningOrder) {
  // Up to seven elements are sorted by insertion, which keeps ties in place.
  EXPECT_EQ(sorted_positions({1, 1, 1, 1, 1, 1, 1}), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(sorted_positions({2, 1, 2, 1, 2}), (std::vector<int>{2, 4, 1, 3, 5}));
  // Eight equal values go through one median-of-three partition.
  EXPECT_EQ(sorted_positions(std::vector<double>(8, 0.5)), (std::vector<int>{1, 6, 7, 4, 5, 2, 3, 8}));
}

}  // namespace
}  // namespace snp
