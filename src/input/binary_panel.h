// The binary haplotype file: the reference haplotypes bit-packed marker by
// marker, so that it loads far faster than the text and a run can read the
// markers of its range alone.
//
// Layout (integers little-endian): the 8 bytes "SNPHAPB" and 2 (the
// version); the haplotype count and the marker count as 64-bit integers;
// then per marker (in map order) two bit sets of ceil(haplotypes / 64)
// 64-bit words, the haplotypes carrying allele 1 and those whose allele is
// unknown, haplotype h at bit h % 64 of word h / 64; last, per marker, the
// number of haplotypes carrying allele 1 and the number with an unknown
// allele as 32-bit integers. Every marker record has the same size, so
// marker m starts at byte 24 + 16 m ceil(haplotypes / 64): the map is the
// index by position, and the counts answer for the markers a run does not
// read.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "numeric/code_matrix.h"

namespace snp {

inline constexpr const char* kBinaryPanelFile = "hapmap.bin";

// Whether the file at `path` starts like a binary haplotype file.
bool is_binary_panel(const std::string& path);

// Writes the panel: codes(m, out) fills out[h] with the code (1, 0, -1) of
// every haplotype at marker m.
void write_binary_panel(std::ostream& out, int haplotypes, int markers,
                        const std::function<void(int, std::int8_t*)>& codes);

// The first `haplotype_count` haplotypes at the first `marker_count`
// markers, as read_haplotypes gives them from the text; with a range
// [first, end) only those markers are read and held (the matrix's columns
// start at `first`). Throws InputError when the file is damaged or holds
// fewer haplotypes or markers.
CodeMatrix read_binary_haplotypes(const std::string& path, int marker_count, int haplotype_count, int first = 0,
                                  int end = -1);

// Per marker of the first `marker_count`: the sum of the haplotypes' codes
// (carriers of allele 1 less unknown alleles), from the stored counts;
// nothing when the file holds more haplotypes than `haplotype_count` (the
// counts cover them all). Throws as read_binary_haplotypes.
std::optional<std::vector<int>> read_binary_code_sums(const std::string& path, int marker_count, int haplotype_count);

}  // namespace snp
