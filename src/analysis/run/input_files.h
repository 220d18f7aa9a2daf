// Text files that hold the in-memory inputs of the analysis: genotypes,
// phenotypes of the observed and permuted data sets, and marker columns.
#pragma once

#include <string>

#include "analysis/run/context.h"
#include "analysis/inputs/search_parameters.h"

namespace snp {

struct InputFiles {
  std::string genotypes;   // one line per individual: codes -1, 0, 1, 2
  std::string phenotypes;  // one line per data set: one integer per individual
  std::string columns;     // one line per data set: 0-based genotype columns
};

// Reads the three files and checks that they agree with each other.
AnalysisInput load_analysis_input(const InputFiles& files, int first_permuted);

// Checks the loaded data against the run parameters: Sample_size
// individuals, Number_of_markers columns per data set and a data set for
// every permutation. `source` names where the parameters came from.
void check_input_shape(const AnalysisInput& input, const InputFiles& files, const CsmParameters& parameters,
                       const std::string& source);

// The run parameters of the analysis, read from "parameter.txt" of the work
// directory without messages and without writing a default file.
struct PeekedParameters {
  CsmParameters parameters;
  std::string source;  // "parameter.txt", or a note that the built-in values hold
};
PeekedParameters peek_csm_parameters(const AnalysisContext& ctx);

}  // namespace snp
