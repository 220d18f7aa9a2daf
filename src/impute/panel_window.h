// The reference markers an hmm run on phased haplotypes reads from the panel
// when it imputes a range of markers only.
#pragma once

#include <vector>

#include "input/reference_panel.h"

namespace snp {

// The panel columns the imputation of reference markers `range` needs: the
// range, and for every imputation block it touches (blocks of
// `block_markers` typed markers whose model runs `block_overlap` typed
// markers past each end, as HmmEngine imputes them) the block's reference
// markers and its run's typed markers. `typed` ascends.
MarkerWindow hmm_panel_window(const std::vector<int>& typed, MarkerWindow range, int marker_count, int block_markers,
                              int block_overlap);

}  // namespace snp
