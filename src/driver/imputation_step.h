// One imputation step: the window tables of a target marker, the engine
// calls in order, and the release of the tables.
#pragma once

#include "model/run_data.h"

namespace snp {

// Rows of each phasing table for n neighbourhood positions: 2^n, at least 2000.
int phasing_table_rows(int n);

// Allocates the window matrix, the phasing tables and the chain table of the
// current neighbourhood and copies the study codes into the window.
void build_window(RunContext& ctx);
void release_window(ImputationStep& step);

// Imputes reference marker i (0-based) and appends its result line.
void run_imputation_step(RunContext& ctx, int i);

// Stops the run when the typed-marker list is too short for a neighbourhood.
void require_typed_markers(const RunData& d);

}  // namespace snp
