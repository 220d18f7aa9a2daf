#include "analysis/marker_set.h"

#include <gtest/gtest.h>

#include "base/errors.h"

namespace snp {
namespace {

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

}  // namespace
}  // namespace snp
