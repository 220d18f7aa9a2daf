#include "impute/neighbourhood.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace snp {
namespace {

using test::EngineFixture;

double r2(const std::vector<std::string>& haplotypes, int i, int j) {
  EngineFixture f(haplotypes, {std::string(haplotypes[0].size(), '.')});
  return calculate_LD(f.ctx.data.data_population, i, j);
}

TEST(LinkageDisequilibrium, SquaredCorrelationCases) {
  EXPECT_EQ(r2({"11", "11", "00", "00"}, 0, 1), 1.0);
  EXPECT_EQ(r2({"11", "10", "01", "00"}, 0, 1), 0.0);
  EXPECT_EQ(r2({"00", "00", "00"}, 0, 1), 1.0);       // both monomorphic
  EXPECT_EQ(r2({"01", "00", "01"}, 0, 1), 0.0);       // monomorphic against polymorphic
  EXPECT_NEAR(r2({"1", "0", "1"}, 0, 0), 1.0, 1e-12);  // itself
  // Rows with a missing allele still count in the denominator: here
  // p11 = 1/4, pA = 2/4, pB = 1/4 although the known alleles at j are half 1.
  const double d = 0.25 - 0.5 * 0.25;
  EXPECT_DOUBLE_EQ(r2({"11", "10", "0?", "1?"}, 0, 1), d * d / 0.5 / 0.25 / 0.5 / 0.75);
}

// Typed-marker list S[k] = 10 k over 1000 reference markers.
struct WindowFixture {
  RunData d;
  ImputationStep step;
  explicit WindowFixture(int listed) {
    for (int k = 0; k < listed; ++k) d.SNP_map1.push_back(10 * k);
    d.max_SNP_map1_i = listed;
  }
  std::pair<std::vector<int>, std::vector<int>> at(int t) {
    const NeighbourhoodWindow w = typed_marker_window(d, step, t);
    return {w.first, w.second};
  }
};

TEST(NeighbourhoodWindow, AnchorAndTheEndsOfTheList) {
  WindowFixture f(100);
  using V = std::vector<int>;
  EXPECT_EQ(f.at(5), std::make_pair(V{50, 40, 30, 20, 10, 0}, V{60, 70, 80, 90, 100, 110}));
  // Near the start the anchor is clamped to 6 and a typed target is its own neighbour.
  EXPECT_EQ(f.at(30), std::make_pair(V{60, 50, 40, 30, 20, 10}, V{70, 80, 90, 100, 110, 120}));
  // Untyped target between S[40] and S[41]: anchor 41.
  EXPECT_EQ(f.at(405), std::make_pair(V{410, 400, 390, 380, 370, 360}, V{420, 430, 440, 450, 460, 470}));
  EXPECT_EQ(f.step.find_near_type_marker, 41);
  // Typed target S[41]: excluded, six on each side.
  EXPECT_EQ(f.at(410), std::make_pair(V{400, 390, 380, 370, 360, 350}, V{420, 430, 440, 450, 460, 470}));
  // The cursor never moves back: a smaller target still uses the anchor 41.
  EXPECT_EQ(f.at(205).second, (V{420, 430, 440, 450, 460, 470}));
  // Clamped at the upper end (anchor 94): the window is S[89] .. S[99].
  EXPECT_EQ(f.at(960), std::make_pair(V{940, 930, 920, 910, 900, 890}, V{950, 960, 970, 980, 990}));
  // After the last typed marker the last slot of the second group holds no marker.
  EXPECT_EQ(f.at(995), std::make_pair(V{940, 930, 920, 910, 900, 890}, V{950, 960, 970, 980, 990}));
}

TEST(NeighbourhoodWindow, ShortListsUseOnlyExistingPositions) {
  using V = std::vector<int>;
  WindowFixture five(5);
  EXPECT_EQ(five.at(25), std::make_pair(V{40, 30, 20, 10}, V{}));
  WindowFixture two(2);
  EXPECT_EQ(two.at(0), std::make_pair(V{10, 0}, V{}));
  EXPECT_EQ(two.at(30), std::make_pair(V{}, V{0, 10}));
}

// Panel columns: 0 = target; 1 equal to the target (r^2 1); 2 monomorphic (r^2 0).
EngineFixture growth_panel() { return EngineFixture({"110", "110", "000", "000"}, {"..."}); }

TEST(NeighbourhoodGrowth, StopsAtTheSecondRejection) {
  EngineFixture f = growth_panel();
  // Slots 2 and 3 fail: slots 4 and 5 are never looked at.
  EXPECT_EQ(grow_group({7, 8, 2, 2, 1, 1}, 2, f.ctx, 0), (std::vector<int>{7, 8}));
  EXPECT_EQ(grow_group({7, 8, 1, 2, 1, 2}, 2, f.ctx, 0), (std::vector<int>{7, 8, 1, 1}));
  // Candidates outside the panel are skipped without counting as rejections.
  EXPECT_EQ(grow_group({7, 8, 2, 9, -1, 1}, 2, f.ctx, 0), (std::vector<int>{7, 8, 1}));
}

TEST(NeighbourhoodPruning, WeakOrDistantMembersGo) {
  EngineFixture f = growth_panel();
  EXPECT_EQ(prune_group({1, 2, 1}, false, f.ctx, 0), (std::vector<int>{1, 1}));
  // All members weak: the first of largest r^2 stays.
  EXPECT_EQ(prune_group({2, 2}, false, f.ctx, 0), (std::vector<int>{2}));
  EXPECT_EQ(prune_group({}, false, f.ctx, 0), (std::vector<int>{}));

  std::string wide(30001, '0');
  std::string wide_alt(30001, '1');
  EngineFixture far({wide, wide_alt}, {std::string(30001, '.')});
  // Every column is identical, so r^2 is 1; only distance decides.
  EXPECT_EQ(prune_group({0, 1}, true, far.ctx, 30000), (std::vector<int>{1}));
  EXPECT_EQ(prune_group({29999, 30000}, false, far.ctx, 0), (std::vector<int>{29999}));
  // A member on the other side of the target is never removed for distance.
  EXPECT_EQ(prune_group({30000}, true, far.ctx, 0), (std::vector<int>{30000}));
}

TEST(Neighbourhood, DeterminateLenReversesTheFirstGroup) {
  // 14 markers, all equal columns: every candidate passes growth and pruning.
  std::vector<std::string> panel = {std::string(14, '1'), std::string(14, '0')};
  EngineFixture f(panel, {std::string(14, '.')});
  for (int k = 0; k < 14; ++k) f.ctx.data.SNP_map1.push_back(k);
  f.ctx.data.max_SNP_map1_i = 14;
  f.ctx.step.begin_hapmap_i = 7;
  determinate_len(f.ctx);
  const ImputationStep& s = f.ctx.step;
  EXPECT_EQ(s.impute_marker[0], 7);
  ASSERT_EQ(s.len1, 6);
  ASSERT_EQ(s.len2, 6);
  EXPECT_EQ(std::vector<int>(s.marker1.begin(), s.marker1.end()), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(std::vector<int>(s.marker2.begin(), s.marker2.end()), (std::vector<int>{8, 9, 10, 11, 12, 13}));
}

}  // namespace
}  // namespace snp
