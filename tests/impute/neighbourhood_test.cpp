#include "impute/neighbourhood.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace snp {
namespace {

using test::EngineFixture;
using V = std::vector<int>;

double r2(const std::vector<std::string>& haplotypes, int i, int j) {
  EngineFixture f(haplotypes, {});
  return linkage_r2(f.panel, i, j);
}

TEST(LinkageDisequilibrium, SquaredCorrelationCases) {
  EXPECT_EQ(r2({"11", "11", "00", "00"}, 0, 1), 1.0);
  EXPECT_EQ(r2({"00", "00", "00"}, 0, 1), 1.0);  // both monomorphic
  // Rows with a missing allele still count in the denominator: here
  // p11 = 1/4, pA = 2/4, pB = 1/4 although the known alleles at j are half 1.
  const double d = 0.25 - 0.5 * 0.25;
  EXPECT_DOUBLE_EQ(r2({"11", "10", "0?", "1?"}, 0, 1), d * d / 0.5 / 0.25 / 0.5 / 0.75);
}

TEST(NeighbourhoodWindow, AnchorCursorAndTheEndsOfTheList) {
  V typed;  // S[k] = 10 k
  for (int k = 0; k < 100; ++k) typed.push_back(10 * k);
  int cursor = 0;
  auto at = [&](int t) {
    const NeighbourhoodWindow w = typed_marker_window(typed, cursor, t);
    return std::make_pair(w.first, w.second);
  };
  EXPECT_EQ(at(5), std::make_pair(V{50, 40, 30, 20, 10, 0}, V{60, 70, 80, 90, 100, 110}));
  // Near the start the anchor is clamped to 6 and a typed target is its own neighbour.
  EXPECT_EQ(at(30), std::make_pair(V{60, 50, 40, 30, 20, 10}, V{70, 80, 90, 100, 110, 120}));
  // Untyped target between S[40] and S[41]: anchor 41; typed target S[41]: excluded.
  EXPECT_EQ(at(405), std::make_pair(V{410, 400, 390, 380, 370, 360}, V{420, 430, 440, 450, 460, 470}));
  EXPECT_EQ(at(410), std::make_pair(V{400, 390, 380, 370, 360, 350}, V{420, 430, 440, 450, 460, 470}));
  // The cursor never moves back: a smaller target still uses the anchor 41.
  EXPECT_EQ(at(205).second, (V{420, 430, 440, 450, 460, 470}));
  // Clamped at the upper end (anchor 94); past the last typed marker too.
  EXPECT_EQ(at(960), std::make_pair(V{940, 930, 920, 910, 900, 890}, V{950, 960, 970, 980, 990}));
  EXPECT_EQ(at(995), std::make_pair(V{940, 930, 920, 910, 900, 890}, V{950, 960, 970, 980, 990}));
  // Short lists use only existing positions.
  const V two = {0, 10};
  int fresh = 0;
  EXPECT_EQ(typed_marker_window(two, fresh, 30).second, (V{0, 10}));
  EXPECT_EQ(typed_marker_window(two, fresh, 30).first, V{});
}

TEST(Neighbourhood, GrowthPruningAndOrder) {
  // Panel columns: 0 = target; 1 equal to the target (r^2 1); 2 monomorphic (r^2 0).
  EngineFixture f({"110", "110", "000", "000"}, {});
  // Growth stops at the second rejection; candidates outside the panel are
  // skipped without counting as one.
  EXPECT_EQ(grow_group({7, 8, 2, 2, 1, 1}, 2, f.panel, 0), (V{7, 8}));
  EXPECT_EQ(grow_group({7, 8, 2, 9, -1, 1}, 2, f.panel, 0), (V{7, 8, 1}));
  // Pruning drops weak members, or keeps the first of largest r^2 when all are weak.
  EXPECT_EQ(prune_group({1, 2, 1}, false, f.panel, 0), (V{1, 1}));
  EXPECT_EQ(prune_group({2, 2}, false, f.panel, 0), (V{2}));
  // Distance counts only on the member's own side (columns all identical).
  EngineFixture far({std::string(30001, '0'), std::string(30001, '1')}, {});
  EXPECT_EQ(prune_group({0, 1}, true, far.panel, 30000), (V{1}));
  EXPECT_EQ(prune_group({29999, 30000}, false, far.panel, 0), (V{29999}));
  EXPECT_EQ(prune_group({30000}, true, far.panel, 0), (V{30000}));

  // 14 equal columns: every candidate passes; the first group is reversed.
  EngineFixture equal({std::string(14, '1'), std::string(14, '0')}, {});
  V typed;
  for (int k = 0; k < 14; ++k) typed.push_back(k);
  int cursor = 0;
  const Neighbourhood n = choose_neighbourhood(equal.panel, typed, cursor, 7);
  EXPECT_EQ(V(n.marker1.begin(), n.marker1.begin() + n.len1), (V{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(V(n.marker2.begin(), n.marker2.begin() + n.len2), (V{8, 9, 10, 11, 12, 13}));
}

}  // namespace
}  // namespace snp
