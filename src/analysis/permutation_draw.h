// Random permutations of positions 1..n drawn without replacement: step i
// takes the j-th of the positions still in the pool, j = 1 + the integral
// part of u_i * (n - i + 1), for the uniform draws u_1..u_n.
#pragma once

#include <vector>

namespace snp {

class PermutationDraw {
 public:
  // Permutations of 1..n, up to kBatch of them per call of take.
  explicit PermutationDraw(int n);

  static constexpr int kBatch = 4;

  // For count <= kBatch permutations at once: permutation p uses the draws
  // u[p * n .. p * n + n - 1] and writes its positions to
  // taken[p * n .. p * n + n - 1].
  void take(const double* u, int count, int* taken);

 private:
  // A complete binary tree over 2^levels leaves per permutation, each
  // node counting the positions of its range still in the pool; a draw
  // walks down from the root, counting the taken position out on the way.
  int n_;
  int levels_ = 0;
  int leaves_ = 1;
  std::vector<int> full_;   // the tree of a full pool
  std::vector<int> trees_;  // kBatch working trees
};

}  // namespace snp
