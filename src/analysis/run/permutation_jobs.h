// The options of a run that takes part in a job split of its permutations:
// --data-sets A:B for a job, --merge for the run that merges the parts.
#pragma once

#include "analysis/inputs/analysis_input.h"
#include "analysis/run/context.h"
#include "base/command_line.h"

namespace snp {

// Reads --data-sets and --merge into ctx.jobs (a usage error when both are
// given or one is malformed) and reads and checks the parts of a merge.
// True for a job, which writes a part instead of the reports.
bool set_up_permutation_jobs(const ParsedOptions& options, const AnalysisInput& input, AnalysisContext& ctx);

}  // namespace snp
