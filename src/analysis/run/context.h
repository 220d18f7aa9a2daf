// The caller's handle on the association library: the console, the work
// directory and host-name prefix of the work files, the marker-name caches
// and what the library remembers between analyses.
#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "analysis/inputs/analysis_input.h"
#include "analysis/inputs/marker_label.h"
#include "genotypes/marker_naming.h"
#include "analysis/permutation/permutation_parts.h"
#include "analysis/state/run_state.h"
#include "analysis/state/work_files.h"

namespace snp {

// The run counters the driver reports before repeated analyses: the
// simulated repetitions and permutations of the last analysis.
struct RunCounters {
  int repeat = 1;
  int permutation = 200;
};

struct AnalysisContext {
  std::ostream* console = &std::cout;   // progress and the library's messages
  std::ostream* warnings = &std::cerr;  // notes about questionable input
  // Directory of "parameter.txt", the work files and the reports; empty
  // means the current directory.
  std::string work_directory;
  // Prefix of the work files: the machine's host name.
  std::string hostname;
  MarkerNaming naming;
  // Names of the genotype columns when the input gives them (column j has
  // labels[j]); empty when the name files of `naming` name the markers.
  std::vector<MarkerLabel> labels;
  RunCounters counters;
  SelectionTally tally;
  OnceNotes shown;
  // Threads of the analysis; the results do not depend on it.
  int threads = 1;
  // A job's range of permutations, or the parts to merge.
  PermutationJobs jobs;

  std::ostream& out() const { return *console; }
  std::ostream& warn() const { return *warnings; }
  WorkFiles files() const { return {work_directory, hostname}; }
  // Path of a file in the work directory.
  std::string work_file(const std::string& name) const { return files().path(name); }
};

}  // namespace snp
