#include "single_marker/five_model_screen.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/errors.h"
#include "numeric/gamma.h"
#include "single_marker/quickindex1.h"
#include "test_support.h"

namespace snp::screen {
namespace {

std::string marker_name(size_t j) {
  std::string name = "m";
  name += std::to_string(j);
  return name;
}

TEST(ScreenFiveModel, MinimumKeepsTheEarlierModelOnTies) {
  EXPECT_EQ(minimum_of({0.01, 0.01, 0.01, 0.01}).model, 0);
  EXPECT_EQ(minimum_of({0.5, 0.01, 0.01, 0.2}).model, 1);
  const MinimumPvalue last = minimum_of({0.5, 0.4, 0.3, 0.2});
  EXPECT_EQ(last.model, 3);
  EXPECT_EQ(last.value, 0.2);
}

TEST(ScreenFiveModel, BenjaminiHochbergCountsAndCandidates) {
  const std::vector<double> sorted = {0.00001, 0.00008, 0.0002, 0.5, 0.6};
  EXPECT_EQ(fdr_selected_count(sorted, 1000, 0.05), 2);
  EXPECT_EQ(fdr_selected_count(sorted, 1000, 0.05 * 0.25), 1);
  // A later rank can qualify where an earlier one does not.
  EXPECT_EQ(fdr_selected_count(std::vector<double>{0.0001, 0.0001}, 1000, 0.05), 2);
  EXPECT_EQ(fdr_selected_count(std::vector<double>{0.00006}, 1000, 0.05), 0);
  EXPECT_EQ(fdr_selected_count({}, 1000, 0.05), 0);
  // Candidates: the sorted prefix up to the largest threshold.
  const std::vector<double> p = {0.3, 0.05, 0.001, 0.0500001, 0.02, 1.0};
  EXPECT_EQ(fdr_candidates(p, 0.05), (std::vector<int>{2, 4, 1}));
  EXPECT_EQ(fdr_candidates(p, 0.0125), (std::vector<int>{2}));
}

// Equal p-values among the selected markers come in the order of the index
// sort over all markers, which sorting the candidates alone does not give.
TEST(ScreenFiveModel, SelectionFollowsTheSortOverAllMarkers) {
  std::mt19937 random(5);
  int tied_runs = 0;
  for (int round = 0; round < 200; ++round) {
    std::vector<double> p(400 + round);
    for (double& value : p) value = random() % 4 ? 1.0 : static_cast<double>(random() % 6 + 1) * 1e-5;
    const std::vector<int> candidates = fdr_candidates(p, 0.05);
    std::vector<double> sorted;
    for (const int marker : candidates) sorted.push_back(p[static_cast<size_t>(marker)]);
    const int count = fdr_selected_count(sorted, static_cast<int>(p.size()), 0.05);
    std::vector<int> all(p.size());
    Quickindex1(p.data(), all.data(), static_cast<int>(p.size()));
    all.resize(static_cast<size_t>(count));
    ASSERT_EQ(fdr_selection(p, candidates, count), all) << "round " << round;
    if (std::vector<int>(candidates.begin(), candidates.begin() + count) != all) ++tied_runs;
  }
  EXPECT_GT(tied_runs, 0);  // the data do reach orders the candidates' sort gets wrong
}

// The markers of each model's lines in FDR_results.txt, in order.
std::array<std::vector<int>, 5> selected_markers(const std::string& path) {
  std::array<std::vector<int>, 5> markers;
  std::ifstream in(path);
  std::string line;
  int model = -1;
  while (std::getline(in, line)) {
    if (line.starts_with("model=")) ++model;
    else markers[static_cast<size_t>(model)].push_back(std::stoi(line.substr(line.find('=') + 1)));
  }
  return markers;
}

// At 100,000 markers, equal selected p-values come in the order of the
// index sort over every marker's own p-value, those the screen need not
// evaluate included.
TEST(ScreenFiveModel, TiedSelectionAtScaleFollowsTheSortOfEveryPvalue) {
  std::mt19937 random(3);
  GenotypeInput input;
  input.samplesize = {100, 100};
  const GenotypeCounts strong{{10, 45, 45, 0}, {50, 40, 10, 0}}, stronger{{5, 40, 55, 0}, {50, 40, 10, 0}};
  for (int j = 0; j < 100000; ++j) {
    GenotypeCounts c;
    if (random() % 2000 == 0) {
      c = random() % 2 ? strong : stronger;
    } else {
      const int a = 30 + static_cast<int>(random() % 8), b = 40 + static_cast<int>(random() % 8);
      c = {{a, b, 100 - a - b, 0}, {34, 44, 22, 0}};
    }
    input.counts.push_back(c);
    input.markers.add({"1", marker_name(static_cast<size_t>(j)), j + 1, "A", "G"});
  }
  const test::TempDir dir;
  std::ostringstream console;
  ScreenContext ctx;
  ctx.console = &console;
  ctx.result_directory = dir.path() + "/";
  screen_genotype_input(ctx, input);
  const auto selected = selected_markers(dir.file(kResultFileName));
  for (int m = 0; m <= kMinimumModel; ++m) {
    std::vector<double> p;
    for (const auto& c : input.counts) {
      ModelPvalues all{};
      pvalues_from_counts(c, input.samplesize, all);
      p.push_back(m == kMinimumModel ? minimum_of(all).value : all[static_cast<size_t>(m)]);
    }
    const auto& chosen = selected[static_cast<size_t>(m)];
    ASSERT_GT(chosen.size(), 20u) << "model " << m;
    std::vector<int> sorted(p.size());
    Quickindex1(p.data(), sorted.data(), static_cast<int>(p.size()));
    sorted.resize(chosen.size());
    EXPECT_EQ(chosen, sorted) << "model " << m;
  }
}

TEST(ScreenFiveModel, PvaluesAboveTheLargestThresholdNeedNoEvaluation) {
  for (int df = 1; df <= 2; ++df) {
    const double critical = df == 1 ? 3.841458820694124 : 5.991464547107979;
    // Just below the point from which statistics are evaluated the tail is
    // clearly above every threshold the screen uses.
    EXPECT_GT(chisq_upper_tail(df, critical * 0.99 - 1e-9), 0.0505);
    EXPECT_EQ(screened_pvalue(critical * 0.99 - 1e-9, df), kNotEvaluated);
    EXPECT_EQ(screened_pvalue(critical, df), chisq_upper_tail(df, critical));
  }
  EXPECT_EQ(screened_pvalue(50.0, 1), chisq_upper_tail(1, 50.0));
  EXPECT_EQ(screened_pvalue(0.5, 0), 1.0);
  EXPECT_THROW(screened_pvalue(-0.5, 1), FatalError);
}

ScreenTables tables_of(const std::vector<std::array<double, 4>>& rows) {
  ScreenTables t;
  for (const auto& row : rows) {
    for (size_t m = 0; m < 4; ++m) t.p[m].push_back(row[m]);
    const MinimumPvalue minimum = minimum_of(row);
    t.minimum.push_back(minimum.value);
    t.minimum_model.push_back(static_cast<std::uint8_t>(minimum.model));
  }
  return t;
}

TEST(ScreenFiveModel, NominalThresholdsAreInclusive) {
  const ScreenTables t = tables_of({{0.002, 0.0020001, 0.5, 0.5},
                                    {0.5, 0.0005, 0.5, 0.5},
                                    {0.5, 0.5, 0.5, 0.00050001}});
  std::ostringstream out;
  report_nominal(t, out);
  EXPECT_EQ(out.str(),
            "model=additive  i=0 pvalue=0.002\n"
            "model=dominant  i=1 pvalue=0.0005\n"
            "model=genotype  i=2 pvalue=0.00050001\n"
            "model=minimum   i=1 pvalue=0.0005\n"
            "model=additive  # of marker's pvalue<0.002=1\n"
            "model=dominant  # of marker's pvalue<0.002=1\n"
            "model=recessive # of marker's pvalue<0.002=0\n"
            "model=genotype  # of marker's pvalue<0.002=1\n"
            "model=minimum   # of marker's pvalue<0.002/4=1\n");
}

}  // namespace
}  // namespace snp::screen
