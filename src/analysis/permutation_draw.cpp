#include "analysis/permutation_draw.h"

#include <algorithm>

namespace snp {

PermutationDraw::PermutationDraw(int n) : n_(std::max(n, 0)) {
  while (leaves_ < n_) {
    leaves_ *= 2;
    ++levels_;
  }
  full_.assign(static_cast<size_t>(2 * leaves_), 0);
  for (int i = 0; i < n_; ++i) full_[static_cast<size_t>(leaves_ + i)] = 1;
  for (int node = leaves_ - 1; node >= 1; --node)
    full_[static_cast<size_t>(node)] = full_[static_cast<size_t>(2 * node)] + full_[static_cast<size_t>(2 * node + 1)];
  trees_.resize(full_.size() * kBatch);
}

void PermutationDraw::take(const double* u, int count, int* taken) {
  const size_t size = full_.size();
  const auto n = static_cast<size_t>(n_);
  const int levels = levels_;
  for (int p = 0; p < count; ++p)
    std::copy(full_.begin(), full_.end(), trees_.begin() + static_cast<std::ptrdiff_t>(size * static_cast<size_t>(p)));
  // The walks of the permutations are independent and run level by level
  // side by side, so that the processor overlaps their chains of loads;
  // none of them branches.
  if (count == kBatch) {
    int* tree[kBatch];
    for (size_t p = 0; p < kBatch; ++p) tree[p] = trees_.data() + size * p;
    for (size_t i = 0; i < n; ++i) {
      const double pool = static_cast<double>(n - i);
      int j[kBatch], node[kBatch];
      for (size_t p = 0; p < kBatch; ++p) {
        j[p] = static_cast<int>(u[p * n + i] * pool) + 1;
        node[p] = 1;
      }
      for (int level = 0; level < levels; ++level) {
        for (size_t p = 0; p < kBatch; ++p) {
          const int left = 2 * node[p];
          const int in_left = tree[p][left];
          const int right = j[p] > in_left ? 1 : 0;
          j[p] -= right * in_left;
          node[p] = left + right;
          --tree[p][node[p]];
        }
      }
      for (size_t p = 0; p < kBatch; ++p) taken[p * n + i] = node[p] - leaves_ + 1;
    }
    return;
  }
  for (size_t p = 0; p < static_cast<size_t>(count); ++p) {
    int* const tree = trees_.data() + size * p;
    for (size_t i = 0; i < n; ++i) {
      int j = static_cast<int>(u[p * n + i] * static_cast<double>(n - i)) + 1;
      int node = 1;
      for (int level = 0; level < levels; ++level) {
        const int left = 2 * node;
        const int right = j > tree[left] ? 1 : 0;
        j -= right * tree[left];
        node = left + right;
        --tree[node];
      }
      taken[p * n + i] = node - leaves_ + 1;
    }
  }
}

}  // namespace snp
