// The tables a run writes beside its reports when the input names its
// markers: "csm_markers.tsv" (the analysed markers) and "csm_model.tsv"
// (the base learners of the final model with their effect sizes).
#pragma once

#include <string>
#include <vector>

#include "analysis/inputs/analysis_input.h"
#include "analysis/inputs/marker_label.h"
#include "analysis/state/work_files.h"

namespace snp {

inline constexpr const char* kMarkerTable = "csm_markers.tsv";
inline constexpr const char* kModelTable = "csm_model.tsv";

// A base learner as "Final_result.txt" lists it: its markers (1-based
// analysis markers) and the genotype classes of its group (for a pair,
// 3 * first genotype + second).
struct ReportedLearner {
  std::vector<int> markers;
  std::vector<int> classes;
};

// The learners of the report's variable table, in order; none when the
// report lists no model.
std::vector<ReportedLearner> reported_learners(const std::string& final_report);

// Individuals inside and outside a learner's group.
struct TwoByTwo {
  double cases_in = 0, controls_in = 0, cases_out = 0, controls_out = 0;
};

// Odds of a case inside the group against outside, with Woolf's 95%
// interval exp(log OR -+ 1.96 SE), SE^2 = the sum of the inverse cells;
// `corrected` when a zero cell made every cell 0.5 larger.
struct OddsRatio {
  double ratio = 0, low = 0, high = 0;
  bool corrected = false;
};
OddsRatio woolf_odds_ratio(TwoByTwo cells);

// Text of "csm_markers.tsv": on these runs genotype column j is analysis
// marker j + 1 (labels[j]).
std::string marker_table(const std::vector<MarkerLabel>& labels);

// Text of "csm_model.tsv" for the learners on the observed data (data set
// 0): case/control counts and odds ratios when every phenotype is 0 or 1,
// else group sizes and the difference of the mean phenotypes.
std::string model_table(const std::vector<ReportedLearner>& learners, const AnalysisInput& input,
                        const std::vector<MarkerLabel>& labels);

// Writes both tables into the work directory, the model from the
// "Final_result.txt" the run has written there.
void write_model_tables(const WorkFiles& files, const AnalysisInput& input, const std::vector<MarkerLabel>& labels);

}  // namespace snp
