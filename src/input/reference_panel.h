// Reference panel reader: phased haplotypes and the reference map.
#pragma once

#include <array>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "numeric/code_matrix.h"

namespace snp {

// The two allele letters of a marker.
using AllelePair = std::array<char, 2>;

// Phased haplotypes (1 / 0 as written, -1 for "?"; haplotype rows by marker
// columns) with each marker's SNP name, base-pair position and letters (the
// second letter is the allele coded 1).
struct ReferencePanel {
  int haplotype_count = 0;
  int marker_count = 0;
  CodeMatrix haplotypes;
  std::vector<std::string> names;
  std::vector<int> positions;
  std::vector<AllelePair> letters;
  // Per marker, when `haplotypes` holds only a window of the markers (a
  // binary panel read for a chunk): the sum of its codes over all haplotypes.
  std::vector<int> code_sums;
};

// Reference markers [first, end).
struct MarkerWindow {
  int first = 0;
  int end = 0;
};

// The sum of the panel's codes at a marker (carriers of allele 1 less
// unknown alleles).
long panel_code_sum(const ReferencePanel& panel, int marker);

// Reads haplotype_count lines of marker_count allele codes ("1", "0", "?")
// at even character positions into the rows of a panel of that size, which
// is allocated once every line has passed its checks. A binary haplotype
// file (input/binary_panel.h) is read as such.
CodeMatrix read_haplotypes(const std::string& path, int marker_count, int haplotype_count, std::ostream& console);

// Reads the reference map (a header of four words, then name, position and
// two letters per marker) into the panel's names, positions and letters.
void read_reference_map(const std::string& path, ReferencePanel& panel);

// Reads both files of the panel.
ReferencePanel read_reference_panel(const std::string& haplotype_path, const std::string& map_path, int marker_count,
                                    int haplotype_count, std::ostream& console);

// The map and the code sums of a binary panel whose haplotypes are to be read
// later, a window of them (read_binary_haplotypes); nothing when the
// haplotype file is text or its stored counts do not apply.
std::optional<ReferencePanel> read_reference_panel_without_haplotypes(const std::string& haplotype_path,
                                                                      const std::string& map_path, int marker_count,
                                                                      int haplotype_count);

}  // namespace snp
