#include "analysis/best_cluster.h"

#include <gtest/gtest.h>

#include "analysis/marker_set.h"
#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

using test::ScratchDir;

BestClusterInformation sample_record() {
  BestClusterInformation r(2, 3, 152);
  r.setrank = 4711;
  r.Nozerogroupnum = 2;
  r.Tindex[0].set(1);
  r.Tindex[0].set(4);
  r.Tindex[1].set(2);
  r.Tindex[2].set(3);
  r.Tindex[2].set(9);
  r.GenotypeCode = {0, 8, 0, 4, 5, 0, 0, 0, 0, 1};
  r.GroupFrequency = {1.0 / 3.0, 0.25, 0.0};
  r.GroupAverage = {0.123456789, 2.0 / 3.0, 0.0};
  return r;
}

TEST(AnalysisMarkerSet, UnranksSetsInLexicographicOrder) {
  const BinomialTable binomial(4, 2);
  const std::vector<std::vector<int>> pairs = {{1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
  for (int rank = 1; rank <= 6; ++rank)
    EXPECT_EQ(unrank_marker_set(binomial, 4, 2, rank), pairs[static_cast<size_t>(rank - 1)]) << rank;
  for (int rank = 1; rank <= 4; ++rank) EXPECT_EQ(unrank_marker_set(binomial, 4, 1, rank), std::vector<int>{rank});
  EXPECT_EQ(binomial(1, 2), 1);  // entries beyond n stay 1
  EXPECT_THROW(unrank_marker_set(binomial, 4, 2, 7), FatalError);
  const BinomialTable large(200, 2);
  EXPECT_EQ(unrank_marker_set(large, 200, 2, 19900), (std::vector<int>{199, 200}));
  EXPECT_EQ(unrank_marker_set(large, 200, 2, 200), (std::vector<int>{2, 3}));
}

TEST(AnalysisMarkerSet, GenotypeCodeHasTheFirstMarkerMostSignificant) {
  const std::vector<int> row = {9, 2, 0, 1};  // markers 1..3
  EXPECT_EQ(genotype_code(row, {1, 3}), 7);
  EXPECT_EQ(genotype_code(row, {2}), 0);
  EXPECT_EQ(BestClusterInformation(1, 2, 5).ncode, 4u);
  EXPECT_EQ(BestClusterInformation(2, 3, 5).ncode, 10u);
}

TEST(AnalysisBestCluster, StoreAndReStoreRoundTripEveryField) {
  ScratchDir dir;
  const auto file = dir.file("store.txt");
  dir.write("store.txt", "0.5 1 0 \n-0.5 0 1 \npara  2 2\n");
  BestClusterInformation first(1, 2, 152);
  first.setrank = 3;
  first.Tindex[1].set(3);
  const auto second = sample_record();
  ASSERT_EQ(first.Store(file, 0), 1);
  ASSERT_EQ(second.Store(file, 1), 1);

  // Records come back in any order.
  const auto back = BestClusterInformation::ReStore(file, 1);
  ASSERT_NE(back, nullptr);
  auto expected = second;
  expected.GroupFrequency = {0.333333, 0.25, 0.0};
  expected.GroupAverage = {0.123457, 0.666667, 0.0};
  EXPECT_EQ(*back, expected);
  const auto front = BestClusterInformation::ReStore(file, 0);
  ASSERT_NE(front, nullptr);
  EXPECT_EQ(*front, first);
  EXPECT_EQ(BestClusterInformation::ReStore(file, 2), nullptr);
}

TEST(AnalysisBestCluster, ReStoreFailures) {
  ScratchDir dir;
  EXPECT_THROW(BestClusterInformation::ReStore(dir.file("absent.txt"), 0), FatalError);
  dir.write("bad.txt", "<number 0>\n<Best Cluster Information>\n1 2 20 7 10 2\n");
  try {
    BestClusterInformation::ReStore(dir.file("bad.txt"), 0);
    FAIL() << "no error";
  } catch (const FatalError& e) {
    EXPECT_EQ(std::string(e.what()), "find error when ReStore Best Cluster Information\n");
    EXPECT_EQ(e.channel(), Channel::standard_error);
  }
  dir.write("bits.txt", "<number 0>\n<Best Cluster Information>\n1 2 20 7 4 2\n<Cluster Information>\n0\n01x0\n");
  EXPECT_THROW(BestClusterInformation::ReStore(dir.file("bits.txt"), 0), FatalError);
  dir.write("short.txt", "<number 0>\n<Best Cluster Information>\n1 2\n");
  EXPECT_THROW(BestClusterInformation::ReStore(dir.file("short.txt"), 0), InputError);
  dir.write("untagged.txt", "0.5 1\npara  1 1\n");
  EXPECT_EQ(BestClusterInformation::ReStore(dir.file("untagged.txt"), 0), nullptr);
}

TEST(AnalysisBestCluster, TagSearchMovesForwardOnly) {
  ScratchDir dir;
  dir.write("tags.txt", "<A> x <number 1> <B> <\\number 1> <number 10> <A>");
  TagReader in(dir.file("tags.txt"));
  EXPECT_EQ(in.find("<number 1>"), 16);
  EXPECT_EQ(in.find("<A>"), 48);    // the later one; the first lies behind
  EXPECT_EQ(in.find("<B>"), 0);     // behind the remembered position
  EXPECT_EQ(in.find("<A>"), 0);     // a failed search ends all searching
  TagReader again(dir.file("tags.txt"));
  EXPECT_EQ(again.find("<number 10>"), 44);
  EXPECT_EQ(again.find("<number 1>"), 0);  // "<\number 1>" is no match
}

TEST(AnalysisBestCluster, MembershipFollowsSlotsAndCodes) {
  const auto r = sample_record();
  EXPECT_TRUE(r.in_group(0, 8));   // slot 1
  EXPECT_TRUE(r.in_group(0, 5));   // slot 4
  EXPECT_TRUE(r.in_group(2, 1));   // slot 9
  EXPECT_FALSE(r.in_group(1, 8));
  EXPECT_TRUE(r.in_group(1, 0));   // slot 2 holds code 0
}

}  // namespace
}  // namespace snp
