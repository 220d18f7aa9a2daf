#include <gtest/gtest.h>

#include <cmath>

#include "base/errors.h"
#include "single_marker/genotype_input.h"
#include "single_marker/screen_table.h"

namespace snp::screen {
namespace {

using Optional = std::vector<std::optional<double>>;

TEST(ScreenGenotypeInput, CountsCodesPerGroupLeavingExcludedOut) {
  const std::vector<std::int8_t> codes = {0, 1, 2, -1, 2, 2, 0, -1, 1};
  const std::vector<std::uint8_t> groups = {kCaseGroup, kCaseGroup, kCaseGroup, kCaseGroup, kControlGroup,
                                            kControlGroup, kControlGroup, kExcludedGroup, kExcludedGroup};
  const GenotypeCounts c = count_codes(codes, groups);
  EXPECT_EQ(c.cases, (std::array<int, 4>{1, 1, 1, 1}));
  EXPECT_EQ(c.controls, (std::array<int, 4>{1, 0, 2, 0}));
}

TEST(ScreenGenotypeInput, GroupsNeedCaseControlStatusForEverySample) {
  genotypes::Phenotypes p;
  p.values = {1.0, 0.0, std::nullopt};
  EXPECT_EQ(groups_of(p, 3, "s"), (std::vector<std::uint8_t>{kCaseGroup, kControlGroup, kExcludedGroup}));
  EXPECT_THROW(groups_of(p, 4, "s"), FatalError);
  p.kind = genotypes::PhenotypeKind::quantitative;
  EXPECT_THROW(groups_of(p, 3, "s"), FatalError);
}

// q(r) = min over k >= r of p(k) * M / k, capped at 1; untested markers
// take no rank but count in M.
TEST(ScreenTable, BenjaminiHochbergQvalues) {
  const Optional p = {0.01, std::nullopt, 0.04, 0.03, 0.9};
  const Optional q = bh_qvalues(p, 5);
  ASSERT_EQ(q.size(), 5u);
  EXPECT_DOUBLE_EQ(*q[0], 0.05);          // 0.01 * 5 / 1
  EXPECT_FALSE(q[1].has_value());
  EXPECT_DOUBLE_EQ(*q[2], 0.04 * 5 / 3);  // rank 3
  EXPECT_DOUBLE_EQ(*q[3], 0.04 * 5 / 3);  // rank 2 takes the smaller value of rank 3
  EXPECT_DOUBLE_EQ(*q[4], 1.0);           // 0.9 * 5 / 4 capped
}

TEST(ScreenTable, UntestableModelsAreMissingAndTheMinimumSkipsThem) {
  // One genotype class only: no model has variation to test.
  GenotypeCounts mono;
  mono.cases = {5, 0, 0, 0};
  mono.controls = {4, 0, 0, 1};
  for (const auto& value : table_pvalues(mono, SampleSize{5, 5})) EXPECT_FALSE(value.has_value());
  // Classes 0 and 1: no A1A1 homozygote, so the recessive 2x2 has an
  // empty column; the other three models are tested.
  GenotypeCounts no_hom;
  no_hom.cases = {3, 2, 0, 0};
  no_hom.controls = {4, 1, 0, 0};
  const TablePvalues p = table_pvalues(no_hom, SampleSize{5, 5});
  EXPECT_EQ(testable_models(no_hom, SampleSize{5, 5}), (std::array<bool, 4>{true, true, false, true}));
  EXPECT_FALSE(p[2].has_value());
  ASSERT_TRUE(p[0] && p[1] && p[3] && p[4]);
  EXPECT_EQ(*p[4], std::min({*p[0], *p[1], *p[3]}));
  // Only homozygotes of both kinds: two alleles, no carrier-free column
  // empty, but the dominant and recessive splits coincide.
  GenotypeCounts homs;
  homs.cases = {2, 0, 3, 0};
  homs.controls = {3, 0, 2, 0};
  EXPECT_EQ(testable_models(homs, SampleSize{5, 5}), (std::array<bool, 4>{true, true, true, true}));
  // All A1A1: one allele only.
  GenotypeCounts all_hom;
  all_hom.cases = {0, 0, 5, 0};
  all_hom.controls = {0, 0, 5, 0};
  EXPECT_EQ(testable_models(all_hom, SampleSize{5, 5}), (std::array<bool, 4>{}));
  // No case left after the missing ones: nothing can be tested.
  GenotypeCounts none;
  none.cases = {0, 0, 0, 4};
  none.controls = {1, 1, 1, 0};
  for (const auto& value : table_pvalues(none, SampleSize{3, 4})) EXPECT_FALSE(value.has_value());
  // Exact where the screen's lists stop evaluating (above 0.05).
  GenotypeCounts weak;
  weak.cases = {3, 4, 3, 0};
  weak.controls = {4, 3, 3, 0};
  const TablePvalues w = table_pvalues(weak, SampleSize{10, 10});
  ASSERT_TRUE(w[0]);
  EXPECT_GT(*w[0], 0.05);
  EXPECT_LT(*w[0], 1.0);
}

}  // namespace
}  // namespace snp::screen
