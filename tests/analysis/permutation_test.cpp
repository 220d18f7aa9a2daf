#include "analysis/permutation/permutation.h"

#include <gtest/gtest.h>

#include "analysis/report/final_report.h"
#include "analysis/fit/lars.h"
#include "analysis/inputs/parameter_file.h"
#include "scratch_dir.h"

namespace snp {
namespace {

using test::one_data_set;
using test::ScratchDir;

TEST(AnalysisPermutation, PValueCountsPermutedFitsStrictlyBelowTheObservedOne) {
  EXPECT_DOUBLE_EQ(permutation_p_value(0.5, {0.5, 0.4, 0.6, 0.3}), 0.5);
  EXPECT_DOUBLE_EQ(permutation_p_value(0.5, {}), 1.0);  // no permutation: no evidence
}

TEST(AnalysisPermutation, PValueReportWritesZeroForFitValuesOutsideTheUnitInterval) {
  EXPECT_EQ(p_value_report(0.25, 0.6, {0.2, 1.0, -0.1, LARS::kNoFit}),
            "P-value information\n===================\nOverall P-value=0.25\n\n"
            "The value of statistics in original data set\nT0=0.4\n\n"
            "The values of the statistics in permuted data sets\n\n"
            "T0=0.4\t T1=0.8\nT0=0.4\t T2=0\nT0=0.4\t T3=0\nT0=0.4\t T4=0\n");
}

// Record 0: marker 2 of 4 in three groups, of which groups 0 and 1 are
// columns 0 and 1. Record 1: markers 3 and 4 in two groups, column 2.
void write_store_file(const ScratchDir& dir) {
  dir.write("host-output_X_Y.txt", "para  4 3\n");
  BestClusterInformation single(1, 3, 4);
  single.setrank = 2;
  single.Tindex[0].set(1);
  single.Tindex[1].set(2);
  single.Tindex[2].set(3);
  single.GenotypeCode = {0, 2, 0, 1};
  single.GroupFrequency = {0.5, 0.3, 0.2};
  single.GroupAverage = {0.8, 0.1, 0.4};
  BestClusterInformation pair(2, 2, 4);
  pair.setrank = 6;
  pair.Tindex[0].set(1);
  pair.Tindex[0].set(2);
  pair.Tindex[1].set(3);
  pair.GenotypeCode = {0, 0, 4, 8, 0, 0, 0, 0, 0, 0};
  pair.GroupFrequency = {0.6, 0.4};
  pair.GroupAverage = {0.7, 0.2};
  ASSERT_EQ(single.Store(dir.file("host-output_X_Y.txt"), 0), 1);
  ASSERT_EQ(pair.Store(dir.file("host-output_X_Y.txt"), 1), 1);
}

TEST(AnalysisPermutation, NonzeroCoefficientsBecomeBaseLearnersOfTheirOwnGroup) {
  ScratchDir dir;
  std::ostringstream console;
  write_store_file(dir);
  EXPECT_EQ(count_store_records(dir.file("host-output_X_Y.txt")), 2);
  dir.write("host-beta.txt", "3\n2\nbeta[ 1 ]= 0.5 0.25\nbeta[ 2 ]= -0.25 0.25\n");
  const ObservedModel model =
      read_observed_model(console, dir.file("host-output_X_Y.txt"), dir.file("host-beta.txt"), 4);
  ASSERT_TRUE(model.found);
  ASSERT_EQ(model.learners.size(), 2u);
  const BaseLearner& first = model.learners[0];
  EXPECT_EQ(first.markers, std::vector<int>{2});
  EXPECT_EQ(first.codes, std::vector<int>{0});  // group 1's class, not group 0's
  EXPECT_EQ(first.group_of_class, (std::vector<int>{1, 2, 0}));
  EXPECT_DOUBLE_EQ(first.importance, 2.0);
  EXPECT_DOUBLE_EQ(first.group_average, 0.1);  // group 1's
  const BaseLearner& second = model.learners[1];
  EXPECT_EQ(second.markers, (std::vector<int>{3, 4}));
  EXPECT_EQ(second.codes, (std::vector<int>{0, 4}));
  EXPECT_EQ(second.group_of_class, (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_DOUBLE_EQ(second.importance, 0.5);
  EXPECT_DOUBLE_EQ(model.importance[2], 2.0);
  EXPECT_DOUBLE_EQ(model.importance[4], 0.5);
  EXPECT_FALSE(model.selected.test(1));
  EXPECT_TRUE(model.selected.test(3));
}

TEST(AnalysisPermutation, WithoutRecordsOrCoefficientsThereIsNoModel) {
  ScratchDir dir;
  std::ostringstream console;
  const auto observed = [&] {
    return read_observed_model(console, dir.file("host-output_X_Y.txt"), dir.file("host-beta.txt"), 4).found;
  };
  dir.write("host-output_X_Y.txt", "0.5 \npara  1 0\n");
  EXPECT_FALSE(observed());
  EXPECT_EQ(console.str(), "CSM Method find there aren't any model for the data\n");
  write_store_file(dir);
  console.str("");
  EXPECT_FALSE(observed());  // no coefficient file
  EXPECT_EQ(console.str(), "LARS Method find there aren't any model for the data\n");
}

TEST(AnalysisPermutation, AnAnalysisWithoutModelReportsPValueOneHalfAndTheParameters) {
  ScratchDir dir;
  std::ostringstream console;
  OnceNotes shown;
  SelectionTally tally;
  const std::string parameters = "Sample_size 6\nNumber_of_markers 2\nNumber_of_permutation 3\n";
  dir.write("parameter.txt", parameters);
  const CsmParameters p = quiet_search_parameters(parameters);
  const auto input = one_data_set({{0, 1}, {0, 1}, {0, 2}, {0, 2}, {0, 1}, {0, 2}}, {1, 0, 1, 0, 1, 0});
  EXPECT_TRUE(run_analysis(p, 6, 2, input, {console, dir.files(), shown, tally}).empty());
  EXPECT_EQ(dir.read("P_value.txt").rfind("P-value information\n===================\nOverall P-value=0.5\n", 0), 0u);
  EXPECT_EQ(dir.read("Final_result.txt"), parameters +
                                              "The first ten marker of first individual 0 1 \n"
                                              "The first ten marker of last  individual 0 2 \n");
  EXPECT_EQ(console.str().find("permutation = "), std::string::npos);
  EXPECT_TRUE(shown.test_method_shown);
}

TEST(AnalysisFinalReport, TablesOfTheModelItsMarkersAndTheirGenotypes) {
  ScratchDir dir;
  std::ostringstream console;
  dir.write("parameter.txt", "Sample_size 7\n");
  // Two cases among seven. Marker 1 never shows genotype 2; individual 7 is
  // missing there.
  const auto input =
      one_data_set({{0, 1}, {0, 2}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {-1, 1}}, {1, 1, 0, 0, 0, 0, 0});
  FinalModel model;
  // Number, set size, markers, genotype classes, coefficient, importance,
  // group per genotype class and group average.
  model.learners = {{0, 1, {1}, {0}, 0.5, 1.0, {0, 1, 1}, 0.5},
                    {1, 1, {1}, {1}, -1.25, 1.0, {0, 1, 1}, 0.5},
                    {2, 2, {1, 2}, {1, 2}, 0.125, 1.0, {1, 0, 0, 0, 0, 0, 0, 0, 0}, 0.5}};
  model.best = {1, 2};
  model.importance = {2, 1};
  model.first_ten_first = {0, 1};
  model.first_ten_last = {-1, 1};
  EXPECT_EQ(write_final_report(console, dir.files(), 0, input, 7, 2, model), (std::vector<int>{1, 2, -1}));
  const std::string report = dir.read("Final_result.txt");
  const auto has = [&](const std::string& text) { return report.find(text) != std::string::npos; };
  EXPECT_EQ(report.rfind("Sample_size 7\nThe first ten marker of first individual 0 1 \n", 0), 0u);
  // Intercept: the mean 2/7 minus the coefficients times the group averages.
  EXPECT_TRUE(has("Coefficient          0.598214      0.500   -1.250    0.125  \n"));
  EXPECT_TRUE(has("X2\t\t\t1 2 \t\tI{ 0/1 or 0/2 }" + std::string(42, ' ') + "\t\t 33.3333\n"));
  // The two learners of marker 1 share one block; the last count is of the
  // missing genotypes.
  EXPECT_EQ(report.find("\nMarker\t 1"), report.rfind("\nMarker\t 1"));
  EXPECT_TRUE(has("# of individual\t 2/3\t\t0/3\t\t0/0\t\t0/1\t\t\n"));
  // Statistics are cut, not rounded, to three decimals: 1.93218, -1.44914,
  // and for one case alone 1.70783; an empty class shows 0 with p-value
  // 0.999992 (its statistic 0.00001).
  EXPECT_TRUE(has("Statistic value\t 1.932\t\t -1.449\t\t 0\t\t \nP-value\t\t 0.0533368\t 0.147299\t 0.999992\t \n"
                  "Clustering results: 2 groups \t S1={0}\tS2={1,2}\t\n"));
  EXPECT_TRUE(has("Statistic value\t -0.683\t\t 1.707\t\t 1.707\t\t -0.683\t\t -1.058\t\t 0\t\t"));
  // Importances are cut to a tenth of a percent: 2/3 is 66.6.
  EXPECT_TRUE(has("Marker   : 1\t 2\t \nImportant: 66.6\t 33.3\t \n"));
  EXPECT_NE(console.str().find("sigma1=1.42857 ybar=0.285714\n"), std::string::npos);
}

}  // namespace
}  // namespace snp
