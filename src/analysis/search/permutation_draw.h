// Random permutations of the values v_1..v_n drawn without replacement:
// step i takes the value at the j-th of the positions still in the pool,
// j = 1 + the integral part of u_i * (n - i + 1), for uniform draws
// u_1..u_n.
#pragma once

#include <vector>

namespace snp {

class PermutationDraw {
 public:
  // Permutations of values[1..n], up to kBatch of them per call of take.
  PermutationDraw(const double* values, int n);

  static constexpr int kBatch = 10;

  // For count <= kBatch permutations at once: permutation p uses the draws
  // u[p * n .. p * n + n - 1] and writes its values, in the order taken, to
  // out[p * n .. p * n + n - 1].
  void take(const double* u, int count, double* out);

 private:
  // Only the value at a position matters, so positions in a run of equal
  // values are alike: with few runs, a draw finds its run from the
  // positions each run still has in the pool.
  void take_from_runs(const double* u, int count, double* out);
  // Otherwise a complete binary tree over 2^levels leaves per permutation,
  // each node counting the positions of its range still in the pool; a
  // draw walks down from the root, counting the taken position out.
  void take_from_tree(const double* u, int count, double* out);

  static constexpr int kMostRuns = 4;
  int n_;
  std::vector<double> values_;  // 0-based
  std::vector<double> run_value_;
  std::vector<int> run_size_;
  int levels_ = 0;
  int leaves_ = 1;
  std::vector<int> full_;   // the tree of a full pool
  std::vector<int> trees_;  // kBatch working trees
};

}  // namespace snp
