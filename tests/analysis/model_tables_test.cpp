// The marker and model tables written beside the reports.
#include "analysis/report/model_tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "scratch_dir.h"

namespace snp {
namespace {

TEST(ModelTables, WoolfIntervalOnAHandComputed2x2Table) {
  // OR = 10*40 / (20*30); SE = sqrt(1/10 + 1/20 + 1/30 + 1/40) = 0.456435.
  const OddsRatio odds = woolf_odds_ratio({10, 20, 30, 40});
  EXPECT_NEAR(odds.ratio, 2.0 / 3.0, 1e-12);
  EXPECT_NEAR(odds.low, 0.272510, 1e-6);
  EXPECT_NEAR(odds.high, 1.630927, 1e-6);
  EXPECT_FALSE(odds.corrected);
  // A zero cell: 0.5 more in every cell, OR = 0.5*5.5 / (5.5*5.5).
  const OddsRatio corrected = woolf_odds_ratio({0, 5, 5, 5});
  EXPECT_TRUE(corrected.corrected);
  EXPECT_NEAR(corrected.ratio, 0.5 / 5.5, 1e-12);
  EXPECT_NEAR(std::log(corrected.high / corrected.ratio), 1.96 * std::sqrt(2 + 3 / 5.5), 1e-9);
}

TEST(ModelTables, LearnersAreReadFromTheReportsVariableTable) {
  const auto learners =
      reported_learners(test::read_text(SOURCE_DIR "/tests/cases/analysis/example/expected/files/Final_result.txt"));
  ASSERT_EQ(learners.size(), 9u);
  EXPECT_EQ(learners[0].markers, (std::vector<int>{10}));
  EXPECT_EQ(learners[0].classes, (std::vector<int>{2}));
  EXPECT_EQ(learners[4].markers, (std::vector<int>{3, 10}));
  EXPECT_EQ(learners[4].classes, (std::vector<int>{2}));  // 0/2
  EXPECT_EQ(learners[7].markers, (std::vector<int>{3, 7}));
  EXPECT_EQ(learners[7].classes, (std::vector<int>{5, 7, 8}));  // 1/2, 2/1, 2/2
  // A report without a model: the parameter file and the first genotypes.
  EXPECT_TRUE(reported_learners("Sample_size 6\nThe first ten marker of first individual 0 1 \n").empty());
}

// Eight individuals at two markers; individual 4 is missing at the second.
AnalysisInput eight_individuals(const std::vector<int>& phenotype) {
  return test::one_data_set({{2, 0}, {2, 1}, {1, 0}, {0, 0}, {2, -1}, {0, 1}, {1, 1}, {0, 2}}, phenotype);
}

const std::vector<MarkerLabel> kLabels{{"rsA", "1", 100, "A", "G"}, {"rsB", "X", 200, "C", "T"}};

std::vector<std::string> rows_of(const std::string& table) {
  std::vector<std::string> rows;
  std::istringstream lines(table);
  std::string line;
  while (std::getline(lines, line))
    if (line[0] != '#') rows.push_back(line);
  return rows;
}

TEST(ModelTables, CaseControlRowsCountTheGroupAndLeaveOutMissingIndividuals) {
  const std::vector<ReportedLearner> learners{{{1}, {2}}, {{1, 2}, {1, 4}}};
  const auto rows = rows_of(model_table(learners, eight_individuals({1, 1, 1, 1, 0, 0, 0, 0}), kLabels));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "LEARNER\tSNPS\tGROUP\tCASES_IN\tCONTROLS_IN\tCASES_OUT\tCONTROLS_OUT\tOR\tL95\tU95");
  EXPECT_EQ(rows[1], "X0\trsA\t2\t2\t1\t2\t3\t3\t0.150268\t59.8931");
  // No case in the group: every count 0.5 larger for the odds ratio.
  EXPECT_EQ(rows[2].substr(0, rows[2].rfind('\t', rows[2].rfind('\t') - 1)),
            "X1\trsA,rsB\t0/1,1/1\t0\t2\t4\t1\t0.0666667");
}

TEST(ModelTables, QuantitativeRowsCompareTheMeans) {
  const std::vector<ReportedLearner> learners{{{1}, {2}}, {{1, 2}, {8}}};
  const auto rows = rows_of(model_table(learners, eight_individuals({5, 7, 3, 1, 2, 4, 6, 8}), kLabels));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "LEARNER\tSNPS\tGROUP\tN_IN\tN_OUT\tMEAN_IN\tMEAN_OUT\tDIFF\tSE");
  // Inside 5, 7, 2 (variance 19/3), outside 3, 1, 4, 6, 8 (variance 7.3).
  EXPECT_EQ(rows[1], "X0\trsA\t2\t3\t5\t4.66667\t4.4\t0.266667\t1.88974");
  EXPECT_EQ(rows[2], "X1\trsA,rsB\t2/2\t0\t7\tNA\t4.85714\tNA\tNA");
}

TEST(ModelTables, MarkerTableNumbersTheAnalysedMarkers) {
  EXPECT_EQ(marker_table(kLabels), "MARKER\tSNP\tCHR\tBP\tA1\tA2\n1\trsA\t1\t100\tA\tG\n2\trsB\tX\t200\tC\tT\n");
}

}  // namespace
}  // namespace snp
