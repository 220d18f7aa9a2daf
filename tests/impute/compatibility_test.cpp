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

TEST(Phasing, WorkedExampleWithChainCodes) {
  // Codes 1, 0, 1, 2, missing over five positions (markers 0..4), target 5.
  EngineFixture f({"000000"}, {"1012.0"});
  f.neighbourhood({0, 1, 2}, {3, 4}, 5);
  ImputationStep& s = f.ctx.step;
  EXPECT_EQ(single_record_decompose(0, s.a, s.b, s.Genotype_with_id_haplotype_chain), 2);
  EXPECT_EQ(haplotype(s.b.haplotype1, 0, 5), (std::vector<int>{0, 0, 0, 1, -1}));
  EXPECT_EQ(haplotype(s.b.haplotype2, 0, 5), (std::vector<int>{1, 0, 1, 1, -1}));
  EXPECT_EQ(haplotype(s.b.haplotype1, 1, 5), (std::vector<int>{1, 0, 0, 1, -1}));
  EXPECT_EQ(haplotype(s.b.haplotype2, 1, 5), (std::vector<int>{0, 0, 1, 1, -1}));
  auto chain = s.Genotype_with_id_haplotype_chain[0];
  EXPECT_EQ(chain[0], -2047);
  EXPECT_EQ(chain[1], -2037);
  EXPECT_EQ(chain[2], -4087);
  EXPECT_EQ(chain[3], -4093);
  EXPECT_EQ(chain[4], -1);
}

TEST(Phasing, PhasingCounts) {
  EngineFixture f({"0000"}, {"0201", "1000", "1111"});
  f.neighbourhood({0, 1}, {2}, 3);
  ImputationStep& s = f.ctx.step;
  auto& chain = s.Genotype_with_id_haplotype_chain;
  EXPECT_EQ(single_record_decompose(0, s.a, s.b, chain), 0);
  EXPECT_EQ(chain[0][2], -1);  // one phasing with two equal haplotypes
  EXPECT_EQ(chain[0][0], chain[0][1]);
  EXPECT_EQ(single_record_decompose(1, s.a, s.b, chain), 1);
  EXPECT_EQ(chain[1][2], -1);  // still one phasing
  EXPECT_EQ(single_record_decompose(2, s.a, s.b, chain), 3);
  EXPECT_EQ(chain[2][8], -1);  // four phasings
}

TEST(CompatiblePair, FirstMatchingRowsInPhasingOrder) {
  // Individual 0: heterozygous at both positions -> phasings (00/11) then (10/01).
  // Rows 1 and 2 carry 10 and 01; rows 3 and 4 carry 00 and 11, so phasing 0 wins.
  // Row 0 has a missing allele and never serves.
  EngineFixture f({"?0", "10", "01", "00", "11", "11"}, {"11", "..", "22"});
  f.neighbourhood({0}, {1}, 1);
  determinate_either_have_pair2(f.ctx);
  ImputationStep& s = f.ctx.step;
  EXPECT_EQ(s.bitmap_have_pair, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(s.bitmap_missing_record, (std::vector<int>{0, 1, 0}));
  auto& chain = s.Genotype_with_id_haplotype_chain;
  EXPECT_EQ(chain[0][0], 3);
  EXPECT_EQ(chain[0][1], 4);
  EXPECT_EQ(chain[0][2], -1);
  // All positions missing: every row matches, the pair is (0, 0).
  EXPECT_EQ(chain[1][0], 0);
  EXPECT_EQ(chain[1][1], 0);
  // Homozygous: the same (lowest) row twice.
  EXPECT_EQ(chain[2][0], 4);
  EXPECT_EQ(chain[2][1], 4);
}

TEST(CompatiblePair, SegmentationCheckReportsNoProgress) {
  // Panel rows 00 and 00; individual 22 22 cannot even start: max_len=0.
  EngineFixture f({"000", "000"}, {"22.", "20."});
  f.neighbourhood({0}, {1}, 2);
  determinate_either_have_pair2(f.ctx);
  EXPECT_EQ(f.ctx.step.bitmap_have_pair, (std::vector<int>{0, 0}));
  EXPECT_EQ(find_multiple_haplotype_product(f.ctx, 0, f.ctx.step.a, f.ctx.step.b), 1);
  EXPECT_EQ(f.console.str(),
            " find problem\nrecord=0 a.marker=2 max_len=0 len1=1 len2=1 popu count_3_value[0]=2 popu  "
            "count_3_value[1]=0\n");
  f.console.str("");
  // Individual 1 (codes 2, 0): row 00 covers position 1 only after position 0
  // fails, so coverage stops at 0 too.
  find_multiple_haplotype_product(f.ctx, 1, f.ctx.step.a, f.ctx.step.b);
  EXPECT_NE(f.console.str().find("max_len=0"), std::string::npos);
}

TEST(CompatiblePair, SegmentsCoverPiecewise) {
  // Haplotypes 1111 twice: row 0 (1100) covers positions 0-1, row 1 (0011)
  // positions 2-3: two segments and no diagnostic.
  EngineFixture f({"11000", "00110"}, {"2222."});
  f.neighbourhood({0, 1}, {2, 3}, 4);
  determinate_either_have_pair2(f.ctx);
  EXPECT_EQ(f.ctx.step.bitmap_have_pair[0], 0);
  EXPECT_EQ(find_multiple_haplotype_product(f.ctx, 0, f.ctx.step.a, f.ctx.step.b), 2);
  EXPECT_EQ(f.console.str(), "");
}

}  // namespace
}  // namespace snp
