// analysis/run: csm-analysis itself, its input routes and driver.
//
// Entry of the association library: learns the work-file prefix, reads
// "parameter.txt" once, names the first markers and runs the analysis once
// or repeatedly.
#pragma once

#include <functional>
#include <vector>

#include "analysis/run/context.h"

namespace snp {

// Runs the analysis on the caller's data and returns its final markers,
// without an end mark; after repeated analyses those of the last one.
// Warns when the phenotype leaves nothing to test.
std::vector<int> main_elas3(AnalysisContext& ctx, const AnalysisInput& input);

// Prints the chromosome, locus and SNP name of the first min(50, nm)
// markers of marker-column row 0.
void show_first_markers(AnalysisContext& ctx, const AnalysisInput& input, int nm);

// Runs `analysis` `repeats` times and keeps numbered copies of its reports,
// "Final_result<i>.txt" and "P_value<i>.txt", i = repeats..1. Returns the
// result of the last analysis (none when no analysis ran).
std::vector<int> run_repeated_analyses(AnalysisContext& ctx, int repeats,
                                       const std::function<std::vector<int>()>& analysis);

// True when the first `ns` individuals of the observed data all have the
// same phenotype.
bool phenotype_is_constant(const AnalysisInput& input, int ns);

}  // namespace snp
