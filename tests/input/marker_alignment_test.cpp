#include "input/marker_alignment.h"

#include <gtest/gtest.h>

#include <sstream>

#include "input/input_data.h"
#include "test_support.h"

namespace snp {
namespace {

TEST(MarkerAlignment, ConcordanceTags) {
  EXPECT_EQ(allele_concordance_tag('A', 'G', 'A', 'G'), 0);
  EXPECT_EQ(allele_concordance_tag('A', 'G', 'G', 'A'), 1);
  EXPECT_EQ(allele_concordance_tag('A', 'G', 'A', 'C'), -1);
  EXPECT_EQ(allele_concordance_tag('a', 'g', 'A', 'G'), -1);  // case-sensitive
  // The eight strand-and-order pairs of class 2; every other full arrangement is 3.
  const std::vector<std::string> class2 = {"AGCT", "ATCG", "GATC", "GCTA", "CGAT", "CTAG", "TAGC", "TCGA"};
  std::string p = "ACGT";
  do {
    const bool listed = std::find(class2.begin(), class2.end(), p) != class2.end();
    EXPECT_EQ(allele_concordance_tag(p[0], p[1], p[2], p[3]), listed ? 2 : 3) << p;
  } while (std::next_permutation(p.begin(), p.end()));
}

// Reference markers: r0 (monomorphic), r1, dup (monomorphic), dup (polymorphic),
// mono_only twice (both monomorphic), own. Study markers name them.
test::TinyStudy alignment_study() {
  test::TinyStudy s;
  s.haplotypes = {"0100100", "0001101", "0101100", "0100101"};
  s.ref_names = {"r0", "r1", "dup", "dup", "mono_only", "mono_only", "own"};
  s.ref_letters = {"AG", "AG", "AG", "CT", "AG", "AG", "AG"};
  s.study_names = {"dup", "mono_only", "absent", "r1", "r1", "r5_absent", "own"};
  s.study_letters = {"CT", "AG", "AG", "GA", "AG", "AG", "AG"};
  s.cases = {"CTAGAGAAAGAAGA"};
  s.controls = {"TTGGAGGGAGAAAA"};
  return s;
}

TEST(MarkerAlignment, InputPhaseMatchesByNameAndLaysOutTheStudy) {
  test::TempDir dir;
  const test::TinyStudy s = alignment_study();
  s.write(dir);
  std::ostringstream console, warnings;
  const InputData d = read_input({dir.file("hapmap.hap"), dir.file("hapmap.map"), dir.file("normal.map"),
                                         dir.file("disease.geno"), dir.file("normal.geno"), 7,
                                         static_cast<int>(s.ref_names.size()), static_cast<int>(s.haplotypes.size()),
                                         static_cast<int>(s.study_names.size()), static_cast<int>(s.cases.size()),
                                         static_cast<int>(s.controls.size())},
                                        console, warnings);
  const MarkerAlignment& a = d.alignment;
  // dup: first polymorphic of the name; mono_only: last of the name; own:
  // matched to reference marker 6, its own index.
  EXPECT_EQ(a.reference_marker, (std::vector<int>{3, 5, 2, 1, 1, 5, 6}));
  EXPECT_EQ(a.matched, (std::vector<std::uint8_t>{1, 1, 0, 1, 1, 0, 1}));
  // The later of the two r1 markers sets the tag; both enter the typed list,
  // which ascends although r1 follows dup in the study map.
  EXPECT_EQ(a.concordance, (std::vector<int>{-1, 0, -1, 0, -1, 0, 0}));
  EXPECT_EQ(a.typed_markers, (std::vector<int>{1, 1, 3, 6}));
  EXPECT_EQ(warnings.str(), "Note: " + dir.file("normal.map") +
                                ": 1 study markers are out of chromosome order; they are used in the order of the "
                                "reference map\n"
                                "Note: " + dir.file("normal.map") +
                                ": 5 of 7 study markers matched a reference marker by name\n");

  // Cases first; codes count the minimum letter; never matched columns are -1.
  EXPECT_EQ(d.study.ids, (std::vector<std::string>{"CASE0", "CTRL0"}));
  EXPECT_EQ(d.study.status, (std::vector<std::int16_t>{1, 0}));
  std::vector<int> case_codes, control_codes;
  for (int j = 0; j < 7; ++j) {
    case_codes.push_back(d.study.codes(0, j));
    control_codes.push_back(d.study.codes(1, j));
  }
  EXPECT_EQ(case_codes, (std::vector<int>{-1, 1, -1, 1, -1, 1, 1}));
  EXPECT_EQ(control_codes, (std::vector<int>{-1, 1, -1, 2, -1, 2, 0}));
  EXPECT_EQ(console.str(),
            "read data=0\n"
            "read chromosome 7 maximum Allele Letter and minimum Allele Letter information\n"
            "read chromosome 7 maximum Allele Letter and minimum Allele Letter information\n"
            "read data finish\n");
}

}  // namespace
}  // namespace snp
