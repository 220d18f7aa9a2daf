// analysis/report: the reports and tables of a run.
//
// The final report "Final_result.txt": the fitted model, its base learners,
// the genotype tables of the markers and marker pairs involved and the
// marker importances.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "analysis/inputs/analysis_input.h"
#include "analysis/fit/csm_lars.h"
#include "analysis/state/work_files.h"

namespace snp {

// What the report shows besides the caller's data.
struct FinalModel {
  std::vector<BaseLearner> learners;
  std::vector<int> importance;  // per best marker, decreasing
  std::vector<int> best;        // best markers, decreasing importance
  std::vector<int> first_ten_first;
  std::vector<int> first_ten_last;
};

// Writes "Final_result.txt" (a copy of "parameter.txt" followed by the
// report), echoes the report on `out` and returns the best markers
// followed by -1. Data set r of `input` gives the raw genotypes and
// phenotypes of ns individuals at nm markers.
std::vector<int> write_final_report(std::ostream& out, const WorkFiles& files, int r, const AnalysisInput& input,
                                    int ns, int nm, const FinalModel& model);

// The "first ten marker" lines of the first and last individual.
std::string first_ten_lines(const std::vector<int>& first, const std::vector<int>& last, int nm);

}  // namespace snp
