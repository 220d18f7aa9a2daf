// Reference panel reader: phased haplotypes and the reference map.
#pragma once

#include <array>
#include <iosfwd>
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
};

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

}  // namespace snp
