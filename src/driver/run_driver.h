// The imputation run: configuration, input, allele coding and the loop over
// the reference markers of the configured range.
#pragma once

#include <ctime>
#include <iosfwd>
#include <string>

#include "model/run_data.h"

namespace snp {

// Seconds at the run's three checkpoints.
struct RunTimes {
  std::time_t start = 0;
  std::time_t after_input = 0;
  std::time_t end = 0;
};

// Reads the parameter file (or keeps the defaults with a message when it
// cannot be opened), echoes the settings and normalises the directories.
void configure_run(RunContext& ctx, const std::string& parameter_file, std::ostream& warnings);

// Allocates the per-reference-marker tables.
void allocate_marker_tables(RunContext& ctx);

// Input and allele coding phases.
void run_input_phases(RunContext& ctx);

// Half-open range [first, end) of 0-based reference indices to impute.
struct MarkerRange {
  int first;
  int end;
};
MarkerRange imputation_range(const RunConfig& cfg);

// Creates the result file and walks the range; throws when the file cannot
// be created or written.
void run_imputation_loop(RunContext& ctx);

// The whole run; returns the process exit status.
int run_imputation_program(RunContext& ctx, const std::string& parameter_file, std::ostream& warnings);

}  // namespace snp
