#include "impute/compatibility.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace snp {
namespace {

using test::EngineFixture;

std::vector<int> haplotype(const CharMatrix& table, int k, int n) {
  std::vector<int> cells;
  for (int c = 0; c < n; ++c) cells.push_back(table[k][c]);
  return cells;
}

TEST(Phasing, WorkedExample) {
  // Codes 1, 0, 1, 2, missing over five positions (markers 0..4), target 5.
  EngineFixture f({"000000"}, {"1012.0"});
  StepTables t = f.neighbourhood({0, 1, 2}, {3, 4}, 5);
  EXPECT_EQ(expand_phasings(0, t.window, t.positions, t.phasings, t.chain), 2);
  EXPECT_EQ(haplotype(t.phasings.haplotype1, 0, 5), (std::vector<int>{0, 0, 0, 1, -1}));
  EXPECT_EQ(haplotype(t.phasings.haplotype2, 0, 5), (std::vector<int>{1, 0, 1, 1, -1}));
  EXPECT_EQ(haplotype(t.phasings.haplotype1, 1, 5), (std::vector<int>{1, 0, 0, 1, -1}));
  EXPECT_EQ(haplotype(t.phasings.haplotype2, 1, 5), (std::vector<int>{0, 0, 1, 1, -1}));
}

TEST(CompatiblePair, CoverageCheckReportsWhereItStops) {
  // Panel rows 00: individual 22 cannot even start (max_len=0).
  EngineFixture f({"000", "000"}, {"22."});
  StepTables t = f.neighbourhood({0}, {1}, 2);
  EXPECT_EQ(t.have_pair[0], 0);
  EXPECT_EQ(check_piecewise_coverage(f.panel, f.n, 0, t, f.console), 1);
  EXPECT_EQ(f.console.str(),
            " find problem\nrecord=0 a.marker=2 max_len=0 len1=1 len2=1 popu count_3_value[0]=2 popu  "
            "count_3_value[1]=0\n");
  // Haplotypes 1111 twice: row 0 (1100) covers positions 0-1, row 1 (0011)
  // positions 2-3: two segments and no diagnostic.
  EngineFixture pieces({"11000", "00110"}, {"2222."});
  StepTables u = pieces.neighbourhood({0, 1}, {2, 3}, 4);
  EXPECT_EQ(check_piecewise_coverage(pieces.panel, pieces.n, 0, u, pieces.console), 2);
  EXPECT_EQ(pieces.console.str(), "");
}

}  // namespace
}  // namespace snp
