#include "impute/inference.h"

#include <gtest/gtest.h>

#include "impute/compatibility.h"
#include "engine_fixture.h"
#include "test_support.h"

namespace snp {
namespace {

using test::EngineFixture;

// Runs the flags and returns (code, probability) of individual r.
std::pair<int, double> infer(EngineFixture& f, int r) {
  determinate_either_have_pair2(f.ctx);
  int g = -7;
  const double p = freq_value_012_truncate_with_missing_neighbourhood(f.ctx, r, &g);
  return {g, p};
}

TEST(Inference, FourRowPairCount) {
  // Neighbourhood codes 1, 2 (haplotypes 01 and 11); rows (0,1;0) (1,1;1)
  // (1,1;0) (0,1;1): compatible pairs (0,1) (0,2) (1,3) (2,3), target codes
  // 1, 0, 2, 1.
  EngineFixture f({"010", "111", "110", "011"}, {"12."});
  f.neighbourhood({0}, {1}, 2);
  EXPECT_EQ(infer(f, 0), std::make_pair(1, 0.5));
}

TEST(Inference, TiesGoToTheLowerCode) {
  const long a[3] = {2, 2, 1}, b[3] = {0, 3, 3}, c[3] = {1, 1, 1}, d[3] = {0, 0, 1};
  EXPECT_EQ(most_frequent_code(a), 0);
  EXPECT_EQ(most_frequent_code(b), 1);
  EXPECT_EQ(most_frequent_code(c), 0);
  EXPECT_EQ(most_frequent_code(d), 2);
}

TEST(Inference, AllMissingNeighbourhoodCountsEveryRowPair) {
  // Target alleles 1, 0, 0: pairs (0,0)=2 (0,1)=1 (0,2)=1 (1,1)=0 (1,2)=0 (2,2)=0.
  EngineFixture f({"001", "000", "000"}, {"..."});
  f.neighbourhood({0}, {1}, 2);
  EXPECT_EQ(infer(f, 0), std::make_pair(0, 0.5));
}

TEST(Inference, PairsWithoutKnownTargetAllelesGiveTheCountDiagnostic) {
  EngineFixture f({"00?", "00?"}, {"00."});
  f.neighbourhood({0}, {1}, 2);
  const auto [g, p] = infer(f, 0);
  EXPECT_EQ(p, 0.0);
  EXPECT_EQ(g, -7);  // left unchanged
  EXPECT_EQ(f.console.str(), "count=0 0 0\nrecord=0\n");
}

TEST(Fallback, OddPanelLastPairIsVisitedOnce) {
  // Three rows: visits (0,1), (0,1), (1,2). Individual code 1 at the single
  // neighbourhood marker: only the once-visited pair (1,2) agrees (0+1), so
  // its target code 0+0 wins with probability 1.
  EngineFixture f({"01", "00", "10"}, {"1."});
  f.neighbourhood({0}, {}, 1);
  double p = 0;
  EXPECT_EQ(find_max_march_value(f.ctx, 0, &p), 0);
  EXPECT_EQ(p, 1.0);
}

TEST(Fallback, EvenPanelSharesTheCounts) {
  // Four rows: visits (0,1) (0,1) (1,2) (1,2), all with run 0; target codes
  // 1, 1, 0, 0: a tie that goes to code 0 with probability one half.
  EngineFixture f({"01", "00", "10", "01"}, {"2."});
  f.neighbourhood({0}, {}, 1);
  double p = 0;
  EXPECT_EQ(find_max_march_value(f.ctx, 0, &p), 0);
  EXPECT_EQ(p, 0.5);
}

TEST(Fallback, PairsWithAMissingTargetAlleleTakeNoPart) {
  // marker1 = {0, 1} (1 next to the target), marker2 = {2}, target 3.
  // Pair (0,1) agrees at markers 1 and 2 (run 2) but row 0 misses the target
  // allele; pair (1,2) agrees at marker 1 only (run 1) and decides.
  EngineFixture f({"010?", "0000", "1111", "0000"}, {"210."});
  f.neighbourhood({0, 1}, {2}, 3);
  double p = 0;
  EXPECT_EQ(find_max_march_value(f.ctx, 0, &p), 1);
  EXPECT_EQ(p, 1.0);
}

TEST(Fallback, NoUsablePairGivesProbabilityZero) {
  EngineFixture f({"0?"}, {"1."});  // a one-row panel has no pair
  f.neighbourhood({0}, {}, 1);
  double p = 5;
  find_max_march_value(f.ctx, 0, &p);
  EXPECT_EQ(p, 0.0);
}

std::string result_line(EngineFixture& f) {
  test::TempDir dir;
  f.ctx.fimput_out.open(dir.file("line"));
  determinate_either_have_pair2(f.ctx);
  infer_value_with_missing_neighbourhood(f.ctx, nullptr);
  f.ctx.fimput_out.close();
  return dir.read("line");
}

TEST(ResultLine, ObservedCodesWinOverCalls) {
  // Every compatible pair has target code 2. Individual 0 is typed 0 at the
  // target and keeps it; individuals 1 and 2 are called 2.
  EngineFixture f({"001", "001", "111"}, {"000", "00.", "11."});
  f.neighbourhood({0}, {1}, 2);
  EXPECT_EQ(result_line(f), "3\trs3 300 A G 0 2 2 \n");
}

TEST(ResultLine, NothingEstimatedIsNeverCalledEvenBelowZero) {
  EngineFixture f({"00?", "00?"}, {"00.", "002"});
  f.ctx.config.calling_genotype_threshood = -1.0;
  f.neighbourhood({0}, {1}, 2);
  EXPECT_EQ(result_line(f), "3\trs3 300 A G -1 2 \n");
  EXPECT_EQ(f.console.str(), "count=0 0 0\nrecord=0\ncount=0 0 0\nrecord=1\n");
}

TEST(ResultLine, ThresholdWithholdsWeakCalls) {
  // The four-row example: code 1 with probability 0.5.
  EngineFixture f({"010", "111", "110", "011"}, {"12."});
  f.neighbourhood({0}, {1}, 2);
  f.ctx.config.calling_genotype_threshood = 0.5;
  EXPECT_EQ(result_line(f), "3\trs3 300 A G -1 \n");
  f.ctx.config.calling_genotype_threshood = 0.49;
  EXPECT_EQ(result_line(f), "3\trs3 300 A G 1 \n");
}

}  // namespace
}  // namespace snp
