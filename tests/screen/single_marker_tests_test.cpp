#include "screen/single_marker_tests.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/errors.h"

namespace snp::screen {
namespace {

// Rows of one marker: `counts` individuals with code 0, 1, 2 and -1 in
// turn, all of the given status.
struct Sample {
  std::vector<short> status;
  std::vector<std::vector<std::int8_t>> rows;
  std::vector<const std::int8_t*> pointers() const {
    std::vector<const std::int8_t*> p;
    for (const auto& row : rows) p.push_back(row.data());
    return p;
  }
  void add(short s, std::array<int, 4> counts) {
    const std::int8_t codes[4] = {0, 1, 2, -1};
    for (size_t c = 0; c < 4; ++c)
      for (int k = 0; k < counts[c]; ++k) {
        status.push_back(s);
        rows.push_back({7, codes[c]});  // the marker is column 1
      }
  }
};

ModelPvalues test_column(const Sample& sample, SampleSize sizes) {
  ModelPvalues p{};
  const auto rows = sample.pointers();
  calculate_pvalue4(sample.status.data(), rows.data(), static_cast<int>(rows.size()), 1, sizes, p);
  return p;
}

GenotypeCounts worked_example() { return {{30, 50, 20, 0}, {50, 40, 10, 0}}; }

TEST(ScreenSingleMarker, WorkedExampleStatistics) {
  const ModelStatistics s = statistics_from_counts(worked_example(), {100, 100});
  // Allelic: (0.45 - 0.3)^2 * (1 / (0.55/200 + 0.7/200) + 266), the integer
  // quotient 40000 div 150 truncated before it is added.
  EXPECT_NEAR(s.value[0], 0.0225 * 426, 1e-9);
  EXPECT_NEAR(s.value[1], 8.33333, 1e-4);
  EXPECT_NEAR(s.value[2], 3.92157, 1e-4);
  EXPECT_NEAR(s.value[3], 9.44444, 1e-4);
  EXPECT_EQ(s.df, (std::array<int, 4>{1, 1, 1, 2}));
}

TEST(ScreenSingleMarker, WorkedExamplePvaluesFromRows) {
  Sample sample;
  sample.add(1, {30, 50, 20, 0});
  sample.add(0, {50, 40, 10, 0});
  const ModelPvalues p = test_column(sample, {100, 100});
  EXPECT_NEAR(p[0], 0.00196, 0.00001);
  EXPECT_NEAR(p[1], 0.00389, 0.00001);
  EXPECT_NEAR(p[2], 0.0477, 0.0001);
  EXPECT_NEAR(p[3], 0.00890, 0.00001);
  ModelPvalues from_counts{};
  EXPECT_EQ(pvalues_from_counts(worked_example(), {100, 100}, from_counts), p[0]);
  EXPECT_EQ(from_counts, p);
}

TEST(ScreenSingleMarker, HandsBackTheCountsItTested) {
  Sample sample;
  sample.add(1, {3, 4, 5, 6});
  sample.add(0, {7, 8, 9, 2});
  std::array<int, 4> cases{}, controls{};
  ModelPvalues p{};
  const auto rows = sample.pointers();
  const double first = calculate_pvalue4_and_freq(sample.status.data(), rows.data(), static_cast<int>(rows.size()), 1,
                                                  {30, 30}, p, cases, controls);
  EXPECT_EQ(cases, (std::array<int, 4>{3, 4, 5, 6}));
  EXPECT_EQ(controls, (std::array<int, 4>{7, 8, 9, 2}));
  EXPECT_EQ(first, p[0]);
}

TEST(ScreenSingleMarker, AbsentOrFixedAlleleGivesTheSmallStatistic) {
  const double tail = 0.992021;  // upper tail of 0.0001 with one degree of freedom
  ModelPvalues p{};
  pvalues_from_counts({{100, 0, 0, 0}, {90, 0, 0, 0}}, {90, 100}, p);
  for (int m = 0; m < 3; ++m) EXPECT_NEAR(p[static_cast<size_t>(m)], tail, 1e-6) << m;
  EXPECT_EQ(p[3], 1.0);  // one class present: k = 1
  pvalues_from_counts({{0, 0, 100, 0}, {0, 0, 90, 0}}, {90, 100}, p);
  for (int m = 0; m < 3; ++m) EXPECT_NEAR(p[static_cast<size_t>(m)], tail, 1e-6) << m;
  EXPECT_EQ(p[3], 1.0);
}

TEST(ScreenSingleMarker, GenotypeTestDegreesFollowTheClassesPresent) {
  // Codes 0 and 2 only: two classes, one degree of freedom, plus 0.0001
  // for the empty class.
  const ModelStatistics s = statistics_from_counts({{40, 0, 60, 0}, {60, 0, 40, 0}}, {100, 100});
  EXPECT_EQ(s.df[3], 1);
  const double term = 0.04 / (0.004 + 0.006);
  EXPECT_NEAR(s.value[3], 2 * term + 0.0001, 1e-9);
}

TEST(ScreenSingleMarker, EveryStatusOtherThanOneIsAControl) {
  Sample coded;
  coded.add(1, {30, 50, 20, 0});
  coded.add(0, {50, 40, 10, 0});
  Sample varied;
  varied.add(1, {30, 50, 20, 0});
  varied.add(2, {20, 10, 5, 0});
  varied.add(0, {10, 10, 5, 0});
  varied.add(-1, {20, 20, 0, 0});
  EXPECT_EQ(test_column(varied, {100, 100}), test_column(coded, {100, 100}));
}

TEST(ScreenSingleMarker, MissingCodesLowerTheEffectiveSizes) {
  // 276 cases configured, 6 missing: Nc = 270 however many rows were read.
  ModelPvalues with_missing{}, smaller_study{};
  pvalues_from_counts({{100, 100, 40, 6}, {120, 100, 51, 0}}, {271, 276}, with_missing);
  pvalues_from_counts({{100, 100, 40, 0}, {120, 100, 51, 0}}, {271, 270}, smaller_study);
  EXPECT_EQ(with_missing, smaller_study);
  Sample sample;  // only 246 case rows scanned
  sample.add(1, {100, 100, 40, 6});
  sample.add(0, {120, 100, 51, 0});
  EXPECT_EQ(test_column(sample, {271, 276}), with_missing);
}

TEST(ScreenSingleMarker, GroupWithoutEffectiveMembersGivesOne) {
  ModelPvalues p{};
  pvalues_from_counts({{0, 0, 0, 50}, {10, 20, 20, 0}}, {50, 50}, p);
  EXPECT_EQ(p, (ModelPvalues{1.0, 1.0, 1.0, 1.0}));
  pvalues_from_counts({{10, 20, 20, 0}, {0, 0, 0, 60}}, {50, 50}, p);
  EXPECT_EQ(p, (ModelPvalues{1.0, 1.0, 1.0, 1.0}));
}

TEST(ScreenSingleMarker, NegativeStatisticEndsWithTheGammpMessage) {
  // Ten cases configured but thirty homozygous case rows: fc = 3.
  ModelPvalues p{};
  try {
    pvalues_from_counts({{0, 0, 30, 0}, {5, 5, 0, 0}}, {10, 10}, p);
    FAIL() << "no error";
  } catch (const FatalError& e) {
    EXPECT_STREQ(e.what(), " error for the input parameter in gammp function\n");
    EXPECT_EQ(e.channel(), Channel::standard_output);
    EXPECT_EQ(e.exit_status(), 1);
  }
  EXPECT_EQ(pvalue_of(-1.0, 0), 1.0);  // nothing to evaluate
}

}  // namespace
}  // namespace snp::screen
