// State shared by one caller's use of the association library: the console,
// the work directory and host-name prefix of the work files, the driver's
// settings, the uniform generator, the marker-name caches and the notes that
// are shown once per process.
#pragma once

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "analysis/marker_naming.h"
#include "analysis/rand1.h"

namespace snp {

// The data a caller hands the library. Data set 0 is the observed data; the
// caller prepares the phenotypes (and marker columns) of permuted data sets.
struct AnalysisInput {
  int carried_first = 0;  // carried through to the analysis calls, not read
  int carried_second = 0;
  // [individual][genotype column]: -1 missing, 0, 1, 2.
  std::vector<std::vector<std::int8_t>> genotypes;
  // [data set][individual].
  std::vector<std::vector<short>> phenotypes;
  // [data set][analysis marker]: the genotype column to use. Row 0 also
  // holds the global marker numbers used to name markers.
  std::vector<std::vector<int>> columns;
  int carried_sixth = 0;
  int first_permuted = 1;  // data set analysed by permutation 0
};

// The driver's own values from "parameter.txt" and the run counters.
struct DriverSettings {
  int ns = 400;             // sample size
  int nm = 20;              // number of markers
  int missingrepeat = 10;   // repeated analyses
  int repeat = 1;           // simulated repetitions of the last analysis
  int permutation = 200;    // permutations of the last analysis
};

// Markers selected by analyses whose p-value fell below 0.05: those among
// analysis markers 1 and 2, and all of them.
struct SelectionTally {
  int first_two = 0;
  int all = 0;
};

struct AnalysisContext {
  std::ostream* console = &std::cout;   // progress and the library's messages
  std::ostream* warnings = &std::cerr;  // notes about questionable input
  // Directory of "parameter.txt", the work files and the reports; empty
  // means the current directory.
  std::string work_directory;
  // Prefix of the work files: the machine's host name.
  std::string hostname;
  DriverSettings driver;
  SelectionTally tally;
  Rand1State generator;
  MarkerNaming naming;
  bool test_method_shown = false;
  bool cluster_method_shown = false;

  std::ostream& out() const { return *console; }
  std::ostream& warn() const { return *warnings; }
  // Path of a file in the work directory.
  std::string work_file(const std::string& name) const;
  // Path of a host-name-prefixed work file.
  std::string host_file(const std::string& name) const { return work_file(hostname + name); }
};

// Sets ctx.hostname to the operating system's host name (its first word).
void gethostname(AnalysisContext& ctx);

}  // namespace snp
