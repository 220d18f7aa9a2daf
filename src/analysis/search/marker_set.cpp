#include "analysis/search/marker_set.h"

#include "base/errors.h"

namespace snp {

BinomialTable::BinomialTable(int N, int K)
    : N_(N), K_(K), table_(static_cast<size_t>(N + 1) * static_cast<size_t>(K + 1), 1) {
  for (int n = 0; n <= N; ++n) {
    for (int j = 0; j <= K; ++j) {
      const int steps = j > n / 2 ? n - j : j;
      std::int64_t entry = 1;
      for (int t = 0; t < steps; ++t) entry = entry * (n - t) / (t + 1);
      table_[static_cast<size_t>(n) * static_cast<size_t>(K + 1) + static_cast<size_t>(j)] = entry;
    }
  }
}

std::vector<int> unrank_marker_set(const BinomialTable& binomial, int N, int k, std::int64_t setrank) {
  std::vector<int> markers;
  markers.reserve(static_cast<size_t>(k));
  std::int64_t r = setrank;
  int m = 0;
  for (int p = 1; p <= k; ++p) {
    std::int64_t before = 0;
    std::int64_t sum = 0;
    for (;;) {
      ++m;
      if (m > N - k + p)
        throw FatalError("Error: rank " + std::to_string(setrank) + " names no set of " + std::to_string(k) +
                             " of " + std::to_string(N) + " markers\n",
                         Channel::standard_error);
      before = sum;
      sum += binomial(N - m, k - p);
      if (r <= sum) break;
    }
    r -= before;
    markers.push_back(m);
  }
  return markers;
}

unsigned genotype_space(unsigned k) {
  unsigned space = 1;
  for (unsigned p = 0; p < k; ++p) space *= 3;
  return space;
}

}  // namespace snp
