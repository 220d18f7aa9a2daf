#include "impute/inference.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace snp {
namespace {

using test::EngineFixture;
using Probabilities = std::array<double, 3>;

GenotypeEstimate estimate(EngineFixture& f, const std::vector<int>& left, const std::vector<int>& right, int target) {
  StepTables t = f.neighbourhood(left, right, target);
  return estimate_genotype(f.panel, f.study, f.n, t, 0, f.console);
}

TEST(Inference, CompatiblePairCounts) {
  // Neighbourhood codes 1, 2 (haplotypes 01 and 11); rows (0,1;0) (1,1;1)
  // (1,1;0) (0,1;1): compatible pairs (0,1) (0,2) (1,3) (2,3), target codes
  // 1, 0, 2, 1.
  EngineFixture f({"010", "111", "110", "011"}, {"12."});
  GenotypeEstimate e = estimate(f, {0}, {1}, 2);
  EXPECT_EQ(e.code, 1);
  EXPECT_EQ(e.probability, 0.5);
  EXPECT_EQ(e.probabilities, (Probabilities{0.25, 0.5, 0.25}));
  // All positions missing: every pair (i <= j) counts; target alleles 1, 0,
  // 0 give codes 2 1 1 0 0 0.
  EngineFixture g({"001", "000", "000"}, {"..."});
  e = estimate(g, {0}, {1}, 2);
  EXPECT_EQ(e.code, 0);
  EXPECT_EQ(e.probability, 0.5);
}

TEST(Inference, PairsWithoutKnownTargetAllelesGiveTheCountDiagnostic) {
  EngineFixture f({"00?", "00?"}, {"00."});
  const GenotypeEstimate e = estimate(f, {0}, {1}, 2);
  EXPECT_EQ(e.probability, 0.0);
  EXPECT_EQ(e.code, -1);
  EXPECT_EQ(f.console.str(), "count=0 0 0\nrecord=0\n");
}

TEST(Fallback, ConsecutiveRowPairsWithTheLongestAgreeingRun) {
  // Three rows: visits (0,1), (0,1), (1,2). Code 1 at the single
  // neighbourhood marker: only the once-visited pair (1,2) agrees (0+1), so
  // its target code 0+0 wins with probability 1.
  EngineFixture odd({"01", "00", "10"}, {"1."});
  odd.neighbourhood({0}, {}, 1);
  GenotypeEstimate e = fallback_estimate(odd.panel, odd.study, odd.n, 0);
  EXPECT_EQ(e.code, 0);
  EXPECT_EQ(e.probabilities, (Probabilities{1, 0, 0}));
  // marker1 = {0, 1}, marker2 = {2}, target 3. Pair (0,1) agrees at markers
  // 1 and 2 (run 2) but row 0 misses the target allele; pair (1,2) agrees at
  // marker 1 only (run 1) and decides.
  EngineFixture gap({"010?", "0000", "1111", "0000"}, {"210."});
  gap.neighbourhood({0, 1}, {2}, 3);
  e = fallback_estimate(gap.panel, gap.study, gap.n, 0);
  EXPECT_EQ(e.code, 1);
  EXPECT_EQ(e.probability, 1.0);
  // A one-row panel has no pair: nothing estimated.
  EngineFixture single({"0?"}, {"1."});
  single.neighbourhood({0}, {}, 1);
  EXPECT_EQ(fallback_estimate(single.panel, single.study, single.n, 0).probability, 0.0);
}

TEST(Inference, TiesGoToTheLowerCode) {
  const long a[3] = {2, 2, 1}, b[3] = {0, 3, 3}, d[3] = {0, 0, 1};
  EXPECT_EQ(most_frequent_code(a), 0);
  EXPECT_EQ(most_frequent_code(b), 1);
  EXPECT_EQ(most_frequent_code(d), 2);
}

}  // namespace
}  // namespace snp
