// csm-analysis on data sets the program prepares itself: genotypes from a
// PLINK fileset (--bfile) or a VCF/BCF (--vcf) with a phenotype per sample
// and the markers chosen by --snps or --top, or the text files with only
// the observed data; the permuted data sets drawn from a seed
// (--permutations, --seed; see seeded_permutations.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/run/context.h"
#include "analysis/run/progress.h"
#include "base/command_line.h"

namespace snp {

inline constexpr int kDefaultSeed = 1;

// The arguments after the program name, with "--top FILE N" joined into
// one option (marker_selection.h).
std::vector<std::string> csm_arguments(int argc, char** argv);

// True when the command line asks for a fileset, for drawn permutations
// or for a seed.
bool prepares_data_sets(const ParsedOptions& options);

// Checks the options, reads the data, settles "parameter.txt" with it
// (data_parameters.h), adds the permuted data sets and runs the analysis
// in the work directory of `ctx`. On a fileset the console names the
// markers from the fileset and "csm_markers.tsv" and "csm_model.tsv" are
// written beside the reports. Returns the final markers, or nullopt for a
// job of --data-sets or --merge (permutation_parts.h), which print their own.
std::optional<std::vector<int>> run_prepared_analysis(const ParsedOptions& options, AnalysisContext& ctx);

}  // namespace snp
