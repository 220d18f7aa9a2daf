// Marker sets of the search: the k-subsets of markers 1..N ranked in
// lexicographic order (rank 1 first), and the genotype class of an
// individual on a set.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/arrays.h"

namespace snp {

// C(n, j) for n = 0..N and j = 0..K; entries with j > n are 1, as the
// unranking expects.
class BinomialTable {
 public:
  BinomialTable() = default;
  BinomialTable(int N, int K);
  std::int64_t operator()(int n, int j) const { return table_[static_cast<size_t>(n) * static_cast<size_t>(K_ + 1) + static_cast<size_t>(j)]; }
  int N() const { return N_; }
  int K() const { return K_; }

 private:
  int N_ = 0;
  int K_ = 0;
  std::vector<std::int64_t> table_;
};

// The markers m1 < ... < mk (1-based) of the set of rank `setrank` among the
// k-subsets of 1..N.
std::vector<int> unrank_marker_set(const BinomialTable& binomial, int N, int k, std::int64_t setrank);

// 3^k.
unsigned genotype_space(unsigned k);

// Genotype class of an individual: sum of g(mp) * 3^(k - p), first marker
// most significant. `genotype_row` is indexed by marker number.
template <class Row>
int genotype_code(const Row& genotype_row, const std::vector<int>& markers) {
  int code = 0;
  for (const int m : markers) code = code * 3 + genotype_row[m];
  return code;
}

}  // namespace snp
