// Repeated analyses of the same data. Every analysis restarts the generator,
// so repetitions draw the same imputations of missing genotypes and compute
// the same result and files: the first runs, and the later ones print its
// console text again, with their own tally of selected markers.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/run/context.h"

namespace snp {

class RepeatedAnalysis {
 public:
  explicit RepeatedAnalysis(AnalysisContext& ctx) : ctx_(ctx) {}

  // Runs `analysis` the first time, recording its console text; later
  // calls print that text again and return the same result.
  std::vector<int> run(const std::function<std::vector<int>()>& analysis);

 private:
  struct Recorded {
    std::vector<std::string> pieces;  // the text around the tally lines
    SelectionTally added;             // what one analysis adds to the tally
    std::vector<int> result;
  };
  AnalysisContext& ctx_;
  std::optional<Recorded> recorded_;
};

}  // namespace snp
