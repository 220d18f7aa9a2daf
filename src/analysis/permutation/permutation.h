// analysis/permutation: the analysis with its permutation test.
//
// One complete analysis of the caller's data: the search and fit on the
// observed data, the base learners and marker importances of the fitted
// model, the same search and fit on every permuted data set for an overall
// p-value, and the reports "P_value.txt" and "Final_result.txt".
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "analysis/inputs/analysis_input.h"
#include "analysis/search/bit_set.h"
#include "analysis/fit/csm_lars.h"
#include "analysis/permutation/permutation_parts.h"
#include "analysis/state/run_state.h"
#include "analysis/inputs/search_parameters.h"
#include "analysis/state/work_files.h"
#include "numeric/arrays.h"

namespace snp {

// What one analysis shares with its run: the console, the work files, the
// notes shown once and the tally of selected markers.
struct AnalysisIo {
  std::ostream& out;
  WorkFiles files;
  OnceNotes& shown;
  SelectionTally& tally;
  // Threads of the analysis; the result does not depend on it.
  int threads = 1;
  // A job's range of permutations or the parts to merge; null: neither.
  const PermutationJobs* jobs = nullptr;
};

// Runs the analysis with `parameters` and returns the final markers
// (1-based analysis markers) followed by -1, or nothing when the fit kept
// no base learner. The final report shows ns individuals and the first
// genotypes of nm markers. A job (io.jobs with a range) analyses only its
// permutations, writes its part file instead of the reports and returns
// nothing; a merge takes the permutations from the parts.
std::vector<int> run_analysis(const CsmParameters& parameters, int ns, int nm, const AnalysisInput& input,
                              const AnalysisIo& io);

// The fitted model of the observed data turned into base learners.
struct ObservedModel {
  bool found = false;  // store records and nonzero coefficients exist
  std::vector<BaseLearner> learners;
  DoubleVector importance;  // 1..M, absolute values
  BitSet selected;          // bit m: marker m has a positive importance
};

// Restores the records of the store file and takes the coefficients of the
// coefficient file in column order; every nonzero one becomes a base
// learner and adds to the importance of the set's markers.
ObservedModel read_observed_model(std::ostream& out, const std::string& store, const std::string& beta_file, int M);

// Records in a store file: the largest n of its "<number n>" tags plus one;
// 0 when it has none.
int count_store_records(const std::string& path);

// The two lines that show the tally of selected markers.
std::string tally_text(const SelectionTally& tally);

// Share of the permuted fit values strictly below the observed one; 1 (no
// evidence) when no permutation was run.
double permutation_p_value(double observed, const std::vector<double>& permuted);

// Text of "P_value.txt". A fit value outside [0, 1) is written as the
// statistic 0.
std::string p_value_report(double p_value, double observed, const std::vector<double>& permuted);

}  // namespace snp
