// A fixed number of bits, bit u in byte u / 8 at position u % 8.
#pragma once

#include <cstdint>
#include <vector>

namespace snp {

class BitSet {
 public:
  BitSet() = default;
  explicit BitSet(unsigned count) : count_(count), bytes_((count + 7) / 8, 0) {}

  unsigned size() const { return count_; }
  // A bit at or beyond the count reads as 0.
  bool test(unsigned u) const { return u < count_ && ((bytes_[u / 8] >> (u % 8)) & 1u) != 0; }
  // Bits at or beyond the count are not stored.
  void set(unsigned u) {
    if (u < count_) bytes_[u / 8] = static_cast<std::uint8_t>(bytes_[u / 8] | (1u << (u % 8)));
  }
  void reset(unsigned u) {
    if (u < count_) bytes_[u / 8] = static_cast<std::uint8_t>(bytes_[u / 8] & ~(1u << (u % 8)));
  }
  void clear() { bytes_.assign(bytes_.size(), 0); }

  friend bool operator==(const BitSet&, const BitSet&) = default;

 private:
  unsigned count_ = 0;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace snp
