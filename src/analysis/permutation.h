// One complete analysis of the caller's data.
#pragma once

#include <vector>

#include "analysis/context.h"

namespace snp {

// Searches the observed data set (data set 0) with the generator restarted,
// writing the store file, and returns the final markers. The model fit, the
// permuted data sets and the reports are still to come, so the list is
// empty for now.
std::vector<int> permutation_simulation(AnalysisContext& ctx, const AnalysisInput& input);

}  // namespace snp
