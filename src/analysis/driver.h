// Entry of the association library: learns the work-file prefix, reads the
// driver's parameters, names the first markers and runs the analysis once
// or repeatedly.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "analysis/context.h"

namespace snp {

// One complete analysis of the caller's data; returns the final markers
// (1-based analysis marker numbers).
using AnalysisRun = std::function<std::vector<int>(AnalysisContext&, const AnalysisInput&)>;

// Runs the analysis on the caller's data and returns its final markers,
// without an end mark (none after repeated analyses).
std::vector<int> main_elas3(AnalysisContext& ctx, const AnalysisInput& input);

// Prints the chromosome, locus and SNP name of the first min(50,
// Number_of_markers) markers of marker-column row 0.
void show_first_markers(AnalysisContext& ctx, const AnalysisInput& input);

// Runs `analysis` missingrepeat times and keeps numbered copies of its
// reports, "Final_result<i>.txt" and "P_value<i>.txt", i = missingrepeat..1.
void missingdatatest(AnalysisContext& ctx, const AnalysisInput& input, const AnalysisRun& analysis);

// Copies `source` to `target` from its first non-blank byte up to the end
// or a 0xFF byte.
void filecopy(const std::string& source, const std::string& target);

}  // namespace snp
