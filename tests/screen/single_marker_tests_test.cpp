#include "single_marker/single_marker_tests.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace snp::screen {
namespace {

// Rows of one marker (column 1): per status, counts of the codes 0, 1, 2, -1.
struct Sample {
  std::vector<short> status;
  std::vector<std::vector<std::int8_t>> rows;
  std::vector<const std::int8_t*> pointers;
  Sample(std::initializer_list<std::pair<short, std::array<int, 4>>> groups) {
    for (const auto& [s, counts] : groups)
      for (size_t c = 0; c < 4; ++c)
        for (int k = 0; k < counts[c]; ++k) {
          status.push_back(s);
          rows.push_back({7, static_cast<std::int8_t>(c == 3 ? -1 : static_cast<int>(c))});
        }
    for (const auto& row : rows) pointers.push_back(row.data());
  }
  ModelPvalues test(SampleSize sizes) const {
    ModelPvalues p{};
    calculate_pvalue4(status.data(), pointers.data(), static_cast<int>(rows.size()), 1, sizes, p);
    return p;
  }
};

ModelPvalues from_counts(const GenotypeCounts& counts, SampleSize sizes) {
  ModelPvalues p{};
  EXPECT_EQ(pvalues_from_counts(counts, sizes, p), p[0]);
  return p;
}

TEST(ScreenSingleMarker, WorkedExample) {
  const GenotypeCounts counts = {{30, 50, 20, 0}, {50, 40, 10, 0}};
  const ModelStatistics s = statistics_from_counts(counts, {100, 100});
  // Allelic: (0.45 - 0.3)^2 * (1 / (0.55/200 + 0.7/200) + 266), the integer
  // quotient 40000 div 150 truncated before it is added.
  EXPECT_NEAR(s.value[0], 0.0225 * 426, 1e-9);
  EXPECT_NEAR(s.value[1], 8.33333, 1e-4);
  EXPECT_NEAR(s.value[2], 3.92157, 1e-4);
  EXPECT_NEAR(s.value[3], 9.44444, 1e-4);
  EXPECT_EQ(s.df, (std::array<int, 4>{1, 1, 1, 2}));
  const ModelPvalues p = Sample({{1, {30, 50, 20, 0}}, {0, {50, 40, 10, 0}}}).test({100, 100});
  EXPECT_NEAR(p[0], 0.00196, 0.00001);
  EXPECT_NEAR(p[1], 0.00389, 0.00001);
  EXPECT_NEAR(p[2], 0.0477, 0.0001);
  EXPECT_NEAR(p[3], 0.00890, 0.00001);
  EXPECT_EQ(from_counts(counts, {100, 100}), p);
  // Every status other than 1 is a control.
  EXPECT_EQ(Sample({{1, {30, 50, 20, 0}}, {2, {20, 10, 5, 0}}, {0, {10, 10, 5, 0}}, {-1, {20, 20, 0, 0}}})
                .test({100, 100}),
            p);
}

TEST(ScreenSingleMarker, UnequalGroupsWeighTheOtherGroupsSize) {
  // 100 cases and 200 controls: each variance term takes the size of the
  // other group, as the tests define them; K = 80000 div 210 = 380.
  const ModelStatistics s = statistics_from_counts({{30, 50, 20, 0}, {100, 80, 20, 0}}, {200, 100});
  EXPECT_NEAR(s.value[0], 0.0225 * (1 / (0.55 / 400 + 0.7 / 200) + 380), 1e-9);
  EXPECT_NEAR(s.value[1], 10.859729, 1e-6);
  EXPECT_NEAR(s.value[2], 5.769231, 1e-6);
  EXPECT_NEAR(s.value[3], 12.692308, 1e-6);
}

TEST(ScreenSingleMarker, MissingCodesLowerTheEffectiveSizesAndAreHandedBack) {
  // 276 cases configured, 6 missing: Nc = 270 however many rows were read.
  const ModelPvalues with_missing = from_counts({{100, 100, 40, 6}, {120, 100, 51, 0}}, {271, 276});
  EXPECT_EQ(with_missing, from_counts({{100, 100, 40, 0}, {120, 100, 51, 0}}, {271, 270}));
  const Sample sample({{1, {100, 100, 40, 6}}, {0, {120, 100, 51, 0}}});  // only 246 case rows scanned
  EXPECT_EQ(sample.test({271, 276}), with_missing);
  std::array<int, 4> cases{}, controls{};
  ModelPvalues p{};
  const double first = calculate_pvalue4_and_freq(sample.status.data(), sample.pointers.data(),
                                                  static_cast<int>(sample.rows.size()), 1, {271, 276}, p, cases,
                                                  controls);
  EXPECT_EQ(cases, (std::array<int, 4>{100, 100, 40, 6}));
  EXPECT_EQ(controls, (std::array<int, 4>{120, 100, 51, 0}));
  EXPECT_EQ(first, p[0]);
  EXPECT_EQ(p, with_missing);
}

TEST(ScreenSingleMarker, DegenerateCounts) {
  // An absent or fixed allele gives the statistic 0.0001 (upper tail
  // 0.992021 with one degree of freedom); one genotype class: k = 1.
  for (const GenotypeCounts& counts : {GenotypeCounts{{100, 0, 0, 0}, {90, 0, 0, 0}},
                                       GenotypeCounts{{0, 0, 100, 0}, {0, 0, 90, 0}}}) {
    const ModelPvalues p = from_counts(counts, {90, 100});
    for (size_t m = 0; m < 3; ++m) EXPECT_NEAR(p[m], 0.992021, 1e-6) << m;
    EXPECT_EQ(p[3], 1.0);
  }
  // Codes 0 and 2 only: two classes, one degree of freedom, plus 0.0001
  // for the empty class.
  const ModelStatistics s = statistics_from_counts({{40, 0, 60, 0}, {60, 0, 40, 0}}, {100, 100});
  EXPECT_EQ(s.df[3], 1);
  EXPECT_NEAR(s.value[3], 2 * 0.04 / (0.004 + 0.006) + 0.0001, 1e-9);
  // A group without effective members gives 1.0 everywhere.
  EXPECT_EQ(from_counts({{0, 0, 0, 50}, {10, 20, 20, 0}}, {50, 50}), (ModelPvalues{1.0, 1.0, 1.0, 1.0}));
  EXPECT_EQ(from_counts({{10, 20, 20, 0}, {0, 0, 0, 60}}, {50, 50}), (ModelPvalues{1.0, 1.0, 1.0, 1.0}));
}

}  // namespace
}  // namespace snp::screen
