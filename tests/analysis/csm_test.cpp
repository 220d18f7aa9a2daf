#include "analysis/search/csm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

using test::one_data_set;
using test::ScratchDir;
using test::SearchFixture;

CsmParameters sizes(int N, int M, int best_m = 0, int max_retain = 10) {
  CsmParameters p;
  p.sample_size = N;
  p.number_of_markers = M;
  p.best_m = best_m;
  p.max_retain = max_retain;
  return p;
}

TEST(AnalysisReadDataSet, ImputesFromTheMarkerFrequenciesAndMarksMissingGenotypes) {
  ScratchDir dir;
  SearchFixture f(dir, sizes(4, 3));
  CSM& csm = f.csm;
  // Marker 1 typed as 1 only, marker 2 never typed, marker 3 complete.
  const auto input = one_data_set({{1, -1, 0}, {-1, -1, 2}, {1, -1, 1}, {-1, -1, 0}}, {0, 1, 0, 1});
  ASSERT_EQ(csm.read_data_set(0, input), 0);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(csm.genotype(i, 1), 1);
    EXPECT_EQ(csm.genotype(i, 2), 2);
    EXPECT_EQ(csm.missing(i, 1), i % 2 == 0);
    EXPECT_TRUE(csm.missing(i, 2));
  }
  EXPECT_EQ(f.console.str(), "test_method=newCSM\nread data finished\n");
  // One draw per missing genotype: two at marker 1, four at marker 2.
  Rand1State expected;
  for (int draw = 0; draw < 6; ++draw) rand1(expected);
  EXPECT_EQ(f.generator.RX, expected.RX);
}

TEST(AnalysisReadDataSet, BadCodesOrNoDataLeaveNoStoreFile) {
  ScratchDir dir;
  SearchFixture f(dir, sizes(2, 2));
  EXPECT_FALSE(f.csm.run(0, one_data_set({{0, 3}, {1, 1}}, {0, 1})));
  EXPECT_NE(f.console.str().find("Data XX or parameter file(=parameter.txt) have some wrong  read marker gene=3\n"),
            std::string::npos);
  EXPECT_THROW(f.csm.read_data_set(0, one_data_set({{0, 1}}, {0, 1})), InputError);  // one individual
  EXPECT_FALSE(f.csm.run(0, AnalysisInput{}));
  EXPECT_NE(f.console.str().find("Don't read data from XX\n"), std::string::npos);
  EXPECT_FALSE(dir.exists("host-output_X_Y.txt"));
}

TEST(AnalysisCsmRun, OrdersCasesFirstBalancesTheHalvesAndCentres) {
  ScratchDir dir;
  SearchFixture f(dir, sizes(8, 1));
  CSM& csm = f.csm;
  // Individual k has phenotype values that identify it; positive ones are cases.
  const std::vector<int> phenotype = {-1, 2, -3, 4, 5, -6, -7, -8};
  std::vector<std::vector<int>> genotypes;
  for (int k = 1; k <= 8; ++k) genotypes.push_back({k % 3});
  genotypes[2][0] = -1;  // individual 3 is missing
  ASSERT_EQ(csm.prepare_data_set(0, one_data_set(genotypes, phenotype)), 0);
  EXPECT_TRUE(csm.quantitative());
  EXPECT_EQ(csm.case_count(), 3);
  const std::vector<int> order = {4, 3, 6, 1, 2, 5, 7, 8};
  const double mean = -14.0 / 8;
  double squares = 0;
  for (int i = 1; i <= 8; ++i) {
    const int k = order[static_cast<size_t>(i - 1)];
    EXPECT_DOUBLE_EQ(csm.phenotype(i), phenotype[static_cast<size_t>(k - 1)] - mean) << i;
    if (k != 3) {
      EXPECT_EQ(csm.genotype(i, 1), k % 3) << i;
    }
    EXPECT_EQ(csm.missing(i, 1), k == 3) << i;
    squares += csm.phenotype(i) * csm.phenotype(i);
  }
  EXPECT_DOUBLE_EQ(csm.variance(), squares / 8);
  EXPECT_NE(f.console.str().find("mean=-1.75\nY=5.75 X=1 \nY=-1.25 X="), std::string::npos);
}

TEST(AnalysisScreening, ScreensByTheBetweenCodeSumOfSquares) {
  ScratchDir dir;
  SearchFixture f(dir, sizes(4, 3));
  CSM& csm = f.csm;
  // After ordering: phenotypes 1, 0, 1, 0 with genotypes 0, 1, 0, 1 at marker 1.
  ASSERT_EQ(csm.prepare_data_set(0, one_data_set({{0, 1, 0}, {0, 1, -1}, {1, 1, 0}, {1, 1, 0}}, {1, 1, 0, 0})), 0);
  EXPECT_NEAR(csm.screening_p_value(1, 1), std::erfc(std::sqrt(2.0)), 1e-7);  // B / V = 4, one degree of freedom
  EXPECT_DOUBLE_EQ(csm.screening_p_value(1, 2), 0.5);  // monomorphic
  // Marker 3 typed as 0 only; the missing individual is imputed 0 and left out.
  EXPECT_DOUBLE_EQ(csm.screening_p_value(1, 3), 0.5);
}

TEST(AnalysisCsmRun, WritesTheIndicatorMatrixAndTheKeptRecords) {
  ScratchDir dir;
  SearchFixture f(dir, sizes(8, 1));
  std::vector<std::vector<int>> genotypes;
  std::vector<int> phenotype;
  for (int k = 0; k < 8; ++k) {
    genotypes.push_back({k < 4 ? 2 : 0});
    phenotype.push_back(k < 4 ? 1 : 0);
  }
  const auto kept = f.csm.run(0, one_data_set(genotypes, phenotype));
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->count(), 1);
  const std::string store = dir.read("host-output_X_Y.txt");
  const std::string matrix =
      "0.500000 1 \n0.500000 1 \n-0.500000 0 \n-0.500000 0 \n0.500000 1 \n0.500000 1 \n-0.500000 0 \n"
      "-0.500000 0 \npara  8 1\n";
  ASSERT_EQ(store.substr(0, matrix.size()), matrix);
  EXPECT_EQ(store.substr(matrix.size()),
            "<number 0>\n<Best Cluster Information>\n1 2 1 1 4 2\n<Cluster Information>\n0\n0100\n1\n0010\n\n"
            "<\\Cluster Information>\n<Genotype Code Information>\n0 2 0 0 \n<\\Genotype Code Information>\n"
            "<Group Frequency Information>\n0.5 0.5 \n<\\Group Frequency Information>\n"
            "<Group Average Information>\n1 0 \n<\\Group Average Information>\n\n"
            "<\\Best Cluster Information>\n<\\number 0>\n");
  EXPECT_NE(f.console.str().find("bakeup\n"), std::string::npos);
}

TEST(AnalysisCsmRun, WithoutSignificantSetsTheDesignIsEmpty) {
  ScratchDir dir;
  SearchFixture f(dir, sizes(4, 2, 2));
  f.csm.set_permutation(true);
  ASSERT_EQ(f.csm.run(0, one_data_set({{1, 0}, {1, 0}, {1, 0}, {1, 0}}, {1, 0, 1, 0}))->count(), 0);
  EXPECT_EQ(dir.read("host-output_X_Y.txt"), "0.500000 \n-0.500000 \n0.500000 \n-0.500000 \npara  4 0\n");
  EXPECT_NE(f.console.str().find("permutation\n information"), std::string::npos);
  EXPECT_NE(f.console.str().find("max_i[2]=0\nTo tamsel report len=0\n information using to report to tamsel # of "
                                 "dropped sets  1-item=0, 2-item=0\nCSM get len=0\n"),
            std::string::npos);
}

TEST(AnalysisBestSet, OnlyPairsOfKeptMarkersAreScreenedAndMaxRetainCaps) {
  // Markers 1 and 3 follow the phenotype; 2 and 4 do not, but together
  // they give it exactly. Best_m 2 keeps markers 1 and 3 for the pair stage.
  std::vector<std::vector<int>> genotypes;
  std::vector<int> phenotype;
  for (int i = 0; i < 40; ++i) {
    const int y = i % 2;
    genotypes.push_back({i % 5 ? 2 * y : 1, (i / 2) % 2, i % 4 ? 2 * y : 1, ((i / 2) % 2 + y) % 2});
    phenotype.push_back(y);
  }
  ScratchDir dir;
  SearchFixture f(dir, sizes(40, 4, 2, 1));
  const auto kept = f.csm.run(0, one_data_set(genotypes, phenotype));
  const std::string console = f.console.str();
  EXPECT_NE(console.find("max_i[1]=1\n"), std::string::npos);  // two pass, one kept
  EXPECT_NE(console.find("max_i[2]=1\n"), std::string::npos);  // the one screened pair
  ASSERT_EQ(kept->count(), 2);
  EXPECT_EQ(unrank_marker_set(f.csm.binomial(), 4, 2, (*kept)[1].setrank), (std::vector<int>{1, 3}));
}

}  // namespace
}  // namespace snp
