// Linkage-disequilibrium neighbourhood of a target reference marker.
#pragma once

#include <vector>

#include "model/run_data.h"

namespace snp {

// r^2 between reference markers i and j over the panel's haplotypes; the
// frequencies are taken over all rows, also those with a missing allele.
double calculate_LD(const case_and_control_genotype_data& panel, int i, int j);

// The twelve typed markers around target t: the first group from the anchor
// leftwards, the second from the marker after it rightwards. List positions
// outside the typed-marker list hold no marker and are left out. Moves the
// step's cursor forward.
struct NeighbourhoodWindow {
  std::vector<int> first;
  std::vector<int> second;
};
NeighbourhoodWindow typed_marker_window(const RunData& d, ImputationStep& step, int t);

// Keeps the `initial` nearest markers, then appends candidates with r^2 > 0.3
// until the second rejection.
std::vector<int> grow_group(const std::vector<int>& slots, int initial, const RunContext& ctx, int t);

// Drops members with r^2 < 0.005 or more than 29999 markers away on their own
// side; when all would go, keeps the first one of largest r^2.
std::vector<int> prune_group(const std::vector<int>& group, bool left_side, const RunContext& ctx, int t);

// Chooses marker1/len1 and marker2/len2 for the target step.begin_hapmap_i
// from the typed-marker list. Targets must ascend from call to call.
void determinate_len(RunContext& ctx);

}  // namespace snp
