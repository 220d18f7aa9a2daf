#include "single_marker/quickindex1.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace snp::screen {
namespace {

TEST(ScreenQuickindex1, SortsEverySizeWithTiesAndRuns) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> few(0, 9);
  std::vector<double> ties(100000), ascending(50000), descending(50000);
  for (auto& v : ties) v = few(random) * 0.1;
  for (size_t k = 0; k < ascending.size(); ++k) ascending[k] = static_cast<double>(k);
  for (size_t k = 0; k < descending.size(); ++k) descending[k] = -static_cast<double>(k);
  const std::vector<std::vector<double>> inputs = {
      {}, {0.5}, {3, 1, 2, 1, 0, 5} /* insertion only */, {9, 8, 7, 6, 5, 4, 3, 2} /* one partition */,
      ties, ascending, descending, std::vector<double>(20000, 0.25)};
  for (const auto& a : inputs) {
    std::vector<int> index(a.size(), -1);
    Quickindex1(a.data(), index.data(), static_cast<int>(a.size()));
    std::vector<int> seen = index;
    std::sort(seen.begin(), seen.end());
    for (size_t k = 0; k < seen.size(); ++k) ASSERT_EQ(seen[k], static_cast<int>(k)) << "not a permutation";
    for (size_t k = 1; k < index.size(); ++k)
      ASSERT_LE(a[static_cast<size_t>(index[k - 1])], a[static_cast<size_t>(index[k])]) << "at " << k;
  }
  // Only the first n values are sorted.
  const std::vector<double> a = {4, 3, 2, 1, -100};
  std::vector<int> index(4);
  Quickindex1(a.data(), index.data(), 4);
  EXPECT_EQ(index, (std::vector<int>{3, 2, 1, 0}));
}

}  // namespace
}  // namespace snp::screen
