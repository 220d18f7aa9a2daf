#include "analysis/search/permutation_draw.h"

#include <algorithm>
#include <cstring>

namespace snp {
namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

PermutationDraw::PermutationDraw(const double* values, int n) : n_(std::max(n, 0)), values_(values + 1, values + 1 + n_) {
  for (const double v : values_) {
    if (!run_value_.empty() && same_bits(run_value_.back(), v)) {
      ++run_size_.back();
    } else {
      run_value_.push_back(v);
      run_size_.push_back(1);
    }
  }
  if (static_cast<int>(run_value_.size()) <= kMostRuns) return;
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

void PermutationDraw::take(const double* u, int count, double* out) {
  if (static_cast<int>(run_value_.size()) <= kMostRuns)
    take_from_runs(u, count, out);
  else
    take_from_tree(u, count, out);
}

void PermutationDraw::take_from_runs(const double* u, int count, double* out) {
  const auto n = static_cast<size_t>(n_);
  const auto runs = run_value_.size();
  // left[p][r]: positions of run r still in the pool for permutation p;
  // runs beyond the last are empty and never reached. The draws of the
  // permutations are interleaved, none of them branches.
  int left[kBatch][kMostRuns] = {};
  double value[kMostRuns] = {};
  for (size_t r = 0; r < runs; ++r) value[r] = run_value_[r];
  for (size_t p = 0; p < static_cast<size_t>(count); ++p)
    for (size_t r = 0; r < runs; ++r) left[p][r] = run_size_[r];
  for (size_t i = 0; i < n; ++i) {
    const double pool = static_cast<double>(n - i);
    for (size_t p = 0; p < static_cast<size_t>(count); ++p) {
      const int j = static_cast<int>(u[p * n + i] * pool) + 1;
      int end = 0, run = 0;
      for (size_t r = 0; r + 1 < kMostRuns; ++r) {
        end += left[p][r];
        run += j > end ? 1 : 0;
      }
      --left[p][run];
      out[p * n + i] = value[run];
    }
  }
}

void PermutationDraw::take_from_tree(const double* u, int count, double* out) {
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
      for (size_t p = 0; p < kBatch; ++p) out[p * n + i] = values_[static_cast<size_t>(node[p] - leaves_)];
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
      out[p * n + i] = values_[static_cast<size_t>(node - leaves_)];
    }
  }
}

}  // namespace snp
