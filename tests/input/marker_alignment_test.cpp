#include "input/marker_alignment.h"

#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"

namespace snp {
namespace {

using test::TempDir;
using test::TinyStudy;

TEST(MarkerAlignment, ConcordanceTags) {
  EXPECT_EQ(allele_concordance_tag('A', 'G', 'A', 'G'), 0);
  EXPECT_EQ(allele_concordance_tag('A', 'G', 'G', 'A'), 1);
  EXPECT_EQ(allele_concordance_tag('A', 'G', 'C', 'T'), 2);
  EXPECT_EQ(allele_concordance_tag('A', 'G', 'T', 'C'), 3);
  EXPECT_EQ(allele_concordance_tag('A', 'G', 'A', 'C'), -1);
  EXPECT_EQ(allele_concordance_tag('a', 'g', 'A', 'G'), -1);  // case-sensitive
  // The eight strand-and-order pairs of class 2; every other full arrangement is 3.
  const char* class2[] = {"AGCT", "ATCG", "GATC", "GCTA", "CGAT", "CTAG", "TAGC", "TCGA"};
  int twos = 0, threes = 0;
  const std::string bases = "ACGT";
  std::string p = bases;
  do {
    const int tag = allele_concordance_tag(p[0], p[1], p[2], p[3]);
    bool listed = false;
    for (const char* c : class2) listed |= p == c;
    EXPECT_EQ(tag, listed ? 2 : 3) << p;
    (tag == 2 ? twos : threes)++;
  } while (std::next_permutation(p.begin(), p.end()));
  EXPECT_EQ(twos, 8);
  EXPECT_EQ(threes, 16);
}

TEST(MarkerAlignment, MonomorphicRuleCountsMissingAsMinusOne) {
  case_and_control_genotype_data panel;
  panel.sample_number = 4;
  panel.marker_number = 3;
  panel.genotype.allocate(4, 3);
  const int codes[3][4] = {{1, 1, 1, -1}, {0, 0, 1, -1}, {1, 0, 0, 0}};
  for (int j = 0; j < 3; ++j)
    for (int h = 0; h < 4; ++h) panel.genotype(h, j) = static_cast<std::int8_t>(codes[j][h]);
  EXPECT_EQ(monomorphic_flags(panel), (std::vector<std::uint8_t>{0, 1, 0}));
}

// Reference markers: r0 (monomorphic), r1, dup (monomorphic), dup (polymorphic),
// mono_only twice (both monomorphic), r5, own. Study markers name them.
TinyStudy alignment_study() {
  TinyStudy s;
  s.haplotypes = {"0100100", "0001101", "0101100", "0100101"};
  s.ref_names = {"r0", "r1", "dup", "dup", "mono_only", "mono_only", "own"};
  s.ref_letters = {"AG", "AG", "AG", "CT", "AG", "AG", "AG"};
  s.study_names = {"dup", "mono_only", "absent", "r1", "r1", "r5_absent", "own"};
  s.study_letters = {"CT", "AG", "AG", "GA", "AG", "AG", "AG"};
  s.cases = {"CTAGAGAAAGAAGA"};
  s.controls = {"TTGGAGGGAGAAAA"};
  return s;
}

TEST(MarkerAlignment, NameMatchingTagsAndTypedList) {
  TempDir dir;
  const TinyStudy s = alignment_study();
  s.write(dir);
  std::ostringstream console;
  RunContext ctx = test::context_for(s, dir, console);
  ctx.data.position_SNP.assign(7, 0);
  ctx.data.diff_SNP_name_tag.assign(7, -1);
  read_two_part_data(ctx);
  const RunData& d = ctx.data;
  // dup: first polymorphic of the name; mono_only: last of the name; own:
  // matched to reference marker 6, its own index.
  EXPECT_EQ(d.SNP_map, (std::vector<int>{3, 5, 2, 1, 1, 5, 6}));
  EXPECT_EQ(d.snp_matched, (std::vector<std::uint8_t>{1, 1, 0, 1, 1, 0, 1}));
  // The later of the two r1 markers prevails; both enter the list.
  EXPECT_EQ(d.diff_SNP_name_tag[1], 0);
  EXPECT_EQ(d.diff_SNP_name_tag[3], 0);
  EXPECT_EQ(d.diff_SNP_name_tag[0], -1);  // never found by name
  EXPECT_EQ(d.max_SNP_map1_i, 4);
  EXPECT_EQ(std::vector<int>(d.SNP_map1.begin(), d.SNP_map1.begin() + 4), (std::vector<int>{3, 1, 1, 6}));

  // data1: cases first; the study marker matched to its own index keeps its genotypes.
  EXPECT_EQ(d.data1.sample_number, 2);
  EXPECT_EQ(d.data1.status, (std::vector<std::int16_t>{1, 0}));
  EXPECT_EQ(d.data1.genotype(0, 3), 1);   // C T counts T
  EXPECT_EQ(d.data1.genotype(1, 3), 2);   // T T
  EXPECT_EQ(d.data1.genotype(0, 5), 1);   // mono_only reaches data1
  EXPECT_EQ(d.data1.genotype(0, 1), 1);   // the second r1 (A G) prevails: A G
  EXPECT_EQ(d.data1.genotype(0, 6), 1);   // "own": A G
  EXPECT_EQ(d.data1.genotype(1, 6), 0);
  for (int s2 = 0; s2 < 2; ++s2) {
    EXPECT_EQ(d.data1.genotype(s2, 0), -1);  // never matched
    EXPECT_EQ(d.data1.genotype(s2, 4), -1);
  }
  EXPECT_EQ(console.str(),
            "read data=0\n"
            "read chromosome 7 maximum Allele Letter and minimum Allele Letter information\n"
            "read chromosome 7 maximum Allele Letter and minimum Allele Letter information\n"
            "read data finish\n");
}

}  // namespace
}  // namespace snp
