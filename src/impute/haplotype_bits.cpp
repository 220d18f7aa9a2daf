#include "impute/haplotype_bits.h"

#include <algorithm>

namespace snp {

HaplotypeBits pack_haplotypes(const CodeMatrix& haplotypes, int haplotype_count, int first, int end) {
  HaplotypeBits bits;
  bits.first = first;
  bits.end = std::max(first, end);
  bits.words = (static_cast<size_t>(bits.end - first) + 63) / 64;
  const size_t H = static_cast<size_t>(haplotype_count);
  bits.ones.assign(H * bits.words, 0);
  bool any_unknown = false;
  for (int t = first; t < bits.end && !any_unknown; ++t) {
    const std::int8_t* column = haplotypes.column(t);
    any_unknown = std::any_of(column, column + H, [](std::int8_t a) { return a < 0; });
  }
  if (any_unknown) bits.unknown.assign(H * bits.words, 0);
  // A word of 64 markers at a time, so that each haplotype's word is
  // written once.
  for (size_t word = 0; word < bits.words; ++word) {
    const int from = first + static_cast<int>(word * 64), to = std::min(bits.end, from + 64);
    for (size_t h = 0; h < H; ++h) {
      std::uint64_t ones = 0, unknown = 0;
      for (int t = from; t < to; ++t) {
        const std::int8_t a = haplotypes(static_cast<int>(h), t);
        ones |= static_cast<std::uint64_t>(a == 1) << (t - from);
        unknown |= static_cast<std::uint64_t>(a < 0) << (t - from);
      }
      bits.ones[h * bits.words + word] = ones;
      if (any_unknown) bits.unknown[h * bits.words + word] = unknown;
    }
  }
  return bits;
}

}  // namespace snp
