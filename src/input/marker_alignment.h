// Matching of study markers to reference markers by SNP name, and the study
// genotypes laid out on the reference marker axis.
#pragma once

#include <cstdint>
#include <vector>

#include "input/reference_panel.h"
#include "input/study_reader.h"

namespace snp {

struct MarkerAlignment {
  // Per study marker: the reference marker it was matched to by name (its
  // own index modulo the panel's marker count when none), and whether it was.
  std::vector<int> reference_marker;
  std::vector<std::uint8_t> matched;
  // Per reference marker: allele concordance tag (see below), -1 where no
  // study marker was matched or the letters are not comparable.
  std::vector<int> concordance;
  // Reference markers of the usable typed markers (matched, comparable
  // letters, polymorphic in the panel) in ascending order, whatever the order
  // of the study map: the neighbourhood search walks them from left to right.
  std::vector<int> typed_markers;
  // Study markers matched by name, and matched study markers whose reference
  // marker comes before that of the matched study marker above them.
  int matched_count = 0;
  int out_of_order = 0;
};

// Allele concordance of study letters s0 s1 against reference letters r0 r1:
// 0 same order, 1 swapped, 2 or 3 all four of A, C, G, T (the two strand
// classes), -1 not comparable.
int allele_concordance_tag(char s0, char s1, char r0, char r1);

// A reference marker is monomorphic when its panel codes sum to 0 or to the
// number of haplotypes (missing alleles count -1).
std::vector<std::uint8_t> monomorphic_flags(const ReferencePanel& panel);

// Matches every study marker by name: to the first polymorphic reference
// marker of that name, else to the last one of it.
MarkerAlignment align_markers(const ReferencePanel& panel, const StudyMap& study_map);

// Copies the study rows (individuals by study markers) into the matched
// reference columns of a study matrix on the reference axis (-1 elsewhere);
// a later study marker matched to the same column prevails.
CodeMatrix place_on_reference_markers(const CodeMatrix& rows, int individuals, const MarkerAlignment& alignment,
                                      int reference_markers);

}  // namespace snp
