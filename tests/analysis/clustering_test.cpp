#include "analysis/search/clustering.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "scratch_dir.h"

namespace snp {
namespace {

using test::ScratchDir;
using test::SearchFixture;

SingleMarkerChoice choose(std::vector<int> cases, std::vector<int> controls, int G) {
  std::ostringstream console;
  return choose_single_marker_model(cases, controls, 50, 100, G, console);
}

TEST(AnalysisSingleMarkerModel, ChoosesTheModelWithTheSmallestPValue) {
  EXPECT_EQ(choose({0, 30, 10, 10}, {0, 5, 25, 20}, 3).label, (std::array<int, 4>{0, 1, 2, 2}));
  // Allele shares: one group per class when three are wanted.
  EXPECT_EQ(choose({0, 30, 15, 5}, {0, 5, 20, 25}, 3).label, (std::array<int, 4>{0, 1, 2, 3}));
  // Three classes: for two groups (1, 1, 2) since X_C < X_A.
  const auto c = choose({0, 20, 5, 25}, {0, 5, 40, 5}, 2);
  EXPECT_EQ(c.model, SingleMarkerModel::three_classes);
  EXPECT_NEAR(c.p_value[3], std::exp(-49.555556 / 2), 1e-12);
  EXPECT_EQ(c.label, (std::array<int, 4>{0, 1, 1, 2}));
}

TEST(AnalysisSingleMarkerModel, UnequalGroupsWeighTheSharesByTheOtherGroupsSize) {
  // 20 cases and 60 controls.
  std::ostringstream console;
  const auto c = choose_single_marker_model({0, 12, 6, 2}, {0, 15, 25, 20}, 20, 80, 2, console);
  EXPECT_NEAR(c.statistic[0], 4.0961338, 1e-6);
  EXPECT_NEAR(c.statistic[1], 10.2483660, 1e-6);
  EXPECT_NEAR(c.statistic[2], 8.2180294, 1e-6);  // 7.3545966 with each share over its own group
  EXPECT_NEAR(c.statistic[3], 8.9410231, 1e-6);
  EXPECT_EQ(c.model, SingleMarkerModel::allele_shares);
  EXPECT_EQ(c.label, (std::array<int, 4>{0, 1, 2, 2}));
}

TEST(AnalysisKmeans, GroupsClassMeansWithTiesToTheLowerGroup) {
  // Means 0.5, -0.5, 0.45, -0.45, 0 and an empty class (mean 0).
  const std::vector<double> sums = {0, 0.5, -1.0, 0.45, -0.45, 0.0, 0.0};
  const std::vector<int> counts = {0, 1, 2, 1, 1, 1, 0};
  EXPECT_EQ(kmeans_labels(sums, counts, 6, 2), (std::vector<int>{0, 1, 2, 1, 2, 1, 1}));
  EXPECT_EQ(kmeans_labels(sums, counts, 6, 3), (std::vector<int>{0, 1, 3, 1, 3, 2, 2}));
}

// A search of one marker over the cases, then the controls.
std::unique_ptr<SearchFixture> single_marker_search(const ScratchDir& dir, const std::vector<int>& case_genotypes,
                                                    const std::vector<int>& control_genotypes) {
  std::vector<std::vector<int>> genotypes;
  std::vector<int> phenotype;
  for (const auto* list : {&case_genotypes, &control_genotypes}) {
    for (int g : *list) {
      genotypes.push_back({g});
      phenotype.push_back(list == &case_genotypes ? 1 : 0);
    }
  }
  CsmParameters p;
  p.sample_size = static_cast<int>(phenotype.size());
  p.number_of_markers = 1;
  auto f = std::make_unique<SearchFixture>(dir, p);
  EXPECT_EQ(f->csm.prepare_data_set(0, test::one_data_set(genotypes, phenotype)), 0);
  return f;
}

TEST(AnalysisScoreSet, ClassesAreNumberedByFirstAppearanceAndGroupsSharedOverAll) {
  ScratchDir dir;
  // 20 cases (12 of genotype 2), 30 controls (2 of genotype 2). Cases 11..20
  // trade places with individuals 26..35 when the halves are balanced; the
  // first three, genotypes 2, 0, 1, stay.
  std::vector<int> cases = {2, 0, 1};
  cases.insert(cases.end(), 11, 2);
  cases.insert(cases.end(), 3, 0);
  cases.insert(cases.end(), 3, 1);
  std::vector<int> controls(2, 2);
  controls.insert(controls.end(), 10, 0);
  controls.insert(controls.end(), 18, 1);
  const auto f = single_marker_search(dir, cases, controls);
  BestClusterInformationArray array(2);
  const auto score = f->csm.score_set(1, 1, array);
  ASSERT_TRUE(score.has_value());
  EXPECT_GT(*score, 0.9);
  ASSERT_EQ(array.count(), 1);
  const auto& r = array[0];
  EXPECT_EQ(r.GenotypeCode, (std::vector<unsigned>{0, 2, 0, 1}));
  // Three groups, one per class, with their case shares.
  EXPECT_TRUE(r.Tindex[0].test(1));
  EXPECT_TRUE(r.Tindex[1].test(2));
  EXPECT_TRUE(r.Tindex[2].test(3));
  EXPECT_EQ(r.Nozerogroupnum, 3u);
  EXPECT_EQ(r.GroupFrequency, (std::vector<double>{14.0 / 50, 14.0 / 50, 22.0 / 50}));
  EXPECT_EQ(r.GroupAverage, (std::vector<double>{12.0 / 14, 4.0 / 14, 4.0 / 22}));
}

TEST(AnalysisScoreSet, PerfectSeparationScoresOneAndLeavesThePhenotype) {
  ScratchDir dir;
  const auto f = single_marker_search(dir, std::vector<int>(10, 2), std::vector<int>(10, 0));
  BestClusterInformationArray full(0);
  const auto score = f->csm.score_set(1, 1, full);
  ASSERT_TRUE(score.has_value());
  EXPECT_DOUBLE_EQ(*score, 1.0);
  EXPECT_EQ(full.count(), 0);
  EXPECT_NE(f->console.str().find("There are some error for BestClusterInformationArray size\n"), std::string::npos);
  // The permutations leave the phenotype as it was found.
  for (int i = 1; i <= 20; ++i) EXPECT_DOUBLE_EQ(f->csm.phenotype(i), (i - 1) % 10 < 5 ? 0.5 : -0.5);
  // A set with one genotype class is not scored.
  EXPECT_FALSE(single_marker_search(dir, {1, 1}, {1, 1})->csm.score_set(1, 1, full));

}

}  // namespace
}  // namespace snp
