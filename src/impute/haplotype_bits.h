// The reference haplotypes over a range of markers, bit-packed haplotype by
// haplotype: the alleles a composite copies between two typed markers are
// then one or two words of one haplotype.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/code_matrix.h"

namespace snp {

struct HaplotypeBits {
  int first = 0;     // markers [first, end)
  int end = 0;
  size_t words = 0;  // per haplotype
  // Haplotype h's words at h * words; marker t at bit (t - first) % 64 of
  // word (t - first) / 64. `unknown` is empty when every allele is known.
  std::vector<std::uint64_t> ones, unknown;

  std::int8_t allele(int haplotype, int marker) const {
    const size_t at = static_cast<size_t>(haplotype) * words + static_cast<size_t>(marker - first) / 64;
    const std::uint64_t bit = std::uint64_t{1} << ((marker - first) % 64);
    if (!unknown.empty() && (unknown[at] & bit) != 0) return -1;
    return (ones[at] & bit) != 0 ? 1 : 0;
  }
};

// The first `haplotype_count` rows of `haplotypes` (1, 0, -1 unknown) at
// markers [first, end).
HaplotypeBits pack_haplotypes(const CodeMatrix& haplotypes, int haplotype_count, int first, int end);

// Calls visit(i) for every set bit i - first of words[...] within [first,
// end), where bit i of the range is bit i % 64 of word i / 64 and `flip`
// is xor-ed in first (same layout).
template <typename Visit>
void for_each_bit(const std::uint64_t* words, const std::uint64_t* flip, int range_first, int first, int end,
                  const Visit& visit) {
  if (first >= end) return;
  const int from = first - range_first, to = end - range_first;
  for (int word = from / 64; word <= (to - 1) / 64; ++word) {
    std::uint64_t bits = words[word] ^ (flip ? flip[word] : 0);
    const int base = word * 64;
    if (from > base) bits &= ~std::uint64_t{0} << (from - base);
    if (to < base + 64) bits &= (std::uint64_t{1} << (to - base)) - 1;
    while (bits != 0) {
      visit(base + __builtin_ctzll(bits) + range_first);
      bits &= bits - 1;
    }
  }
}

}  // namespace snp
