// Merging the genotype classes of a marker set into risk groups: a choice
// among genetic models for a single marker, a one-dimensional k-means on
// class means for larger sets.
#pragma once

#include <array>
#include <iosfwd>
#include <vector>

namespace snp {

// Genetic models of a single marker, by its classes 1..3 in order of first
// appearance.
enum class SingleMarkerModel {
  class3_against_rest,  // labels (1, 1, 2)
  allele_shares,        // labels (1, 2, 3), or as A or C for two groups
  class1_against_rest,  // labels (1, 2, 2)
  three_classes,        // as allele_shares
};

struct SingleMarkerChoice {
  SingleMarkerModel model = SingleMarkerModel::class3_against_rest;
  std::array<int, 4> label{};      // labels of classes 1..3; entry 0 unused
  std::array<double, 4> statistic{};  // A, B, C, D
  std::array<double, 4> p_value{};    // A, B, C, D
};

// Chooses the model with the smallest chi-square p-value from the case and
// control counts of classes 1..3 (index 0 unused), with Ncase cases among N
// individuals, and labels the classes for G groups (2 or 3).
SingleMarkerChoice choose_single_marker_model(const std::vector<int>& cases, const std::vector<int>& controls,
                                              int Ncase, int N, int G, std::ostream& console);

// Labels 1..G for classes 1..T (index 0 unused) from the sums of centred
// phenotypes `sums` and the sizes `counts` of the classes.
std::vector<int> kmeans_labels(const std::vector<double>& sums, const std::vector<int>& counts, int T, int G);

}  // namespace snp
