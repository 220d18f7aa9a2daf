// The binary haplotype file: the reference haplotypes bit-packed marker by
// marker, so that it loads far faster than the text and a run can read the
// markers of its range alone.
//
// Layout (integers little-endian): the 8 bytes "SNPHAPB" and 1; the
// haplotype count and the marker count as 64-bit integers; then per marker
// (in map order) two bit sets of ceil(haplotypes / 64) 64-bit words, the
// haplotypes carrying allele 1 and those whose allele is unknown, haplotype
// h at bit h % 64 of word h / 64. Every marker record has the same size,
// so marker m starts at byte 24 + 16 m ceil(haplotypes / 64): the map is
// the index by position.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

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
// markers, as read_haplotypes gives them from the text; only the markers
// [first, end) are read (the other columns stay 0). Throws InputError when
// the file is shorter or holds fewer haplotypes or markers.
CodeMatrix read_binary_haplotypes(const std::string& path, int marker_count, int haplotype_count, int first = 0,
                                  int end = -1);

}  // namespace snp
