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

}  // namespace snp
