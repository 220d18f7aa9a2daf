// What the library remembers from one analysis to the next: notes shown
// only once, and the tally of markers selected by significant analyses.
#pragma once

namespace snp {

struct OnceNotes {
  bool test_method_shown = false;
  bool cluster_method_shown = false;
};

// Markers selected by analyses whose p-value fell below 0.05: those among
// analysis markers 1 and 2, and all of them.
struct SelectionTally {
  int first_two = 0;
  int all = 0;
};

// The permutation test of the last analysis as users report it: k of the
// B permuted statistics at least as large as the observed one give the
// p-value (k + 1) / (B + 1). No test is made when no model was found.
struct PermutationSummary {
  bool model_found = false;
  int at_least_as_large = 0;  // k
  int permutations = 0;       // B
  double p_value() const { return (at_least_as_large + 1.0) / (permutations + 1.0); }
};

}  // namespace snp
