// The permuted data sets of an analysis searched and fitted side by side.
// A cheap pass in order fixes the generator state each data set starts
// from (reading and screening it tells how many draws its search takes);
// the data sets are then analysed in parallel, each with work files of its
// own, and their console text and fit values are taken in order.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/inputs/analysis_input.h"
#include "analysis/search/rand1.h"
#include "analysis/inputs/search_parameters.h"
#include "analysis/state/work_files.h"

namespace snp {

struct PermutedFit {
  std::string console;  // "permutation = p" up to the "Cp0=" line
  double fit = 0.0;
  // The work files it left, kept only for the last data set analysed.
  std::optional<std::string> store;
  std::optional<std::string> coefficients;
};

struct ParallelPermutations {
  const CsmParameters& parameters;
  const AnalysisInput& input;
  WorkFiles files;
  std::string store_file;  // the work files of the run
  std::string beta_file;
  double observed = 0.0;  // printed with every permuted fit
  int threads = 2;

  // Analyses permutations first, first + 1, ... (0-based) up to end - 1,
  // the generator starting at `generator`, and hands each result to `take`
  // in order. Stops early at a data set that cannot be analysed side by
  // side (it fails, or cannot be read): returns the permutation to go on
  // with one at a time, with the generator at its state and the run's work
  // files as the data set before it left them.
  int run(int first, int end, Rand1State& generator, const std::function<void(PermutedFit&)>& take) const;

 private:
  // One data set from its generator state, with work files of its own
  // (kept when `keep_files`) or, when `in_place`, with the run's.
  PermutedFit analyse(int p, Rand1State state, bool keep_files, bool in_place) const;
};

}  // namespace snp
