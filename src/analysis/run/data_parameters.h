// "parameter.txt" of a run whose data sets the program prepares itself
// (genotypes from a fileset, or permutations it draws): the file's sample
// and marker counts follow the data.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "analysis/run/context.h"

namespace snp {

// What the data fix; `permutations` when the command line asks for a count.
struct DataCounts {
  long individuals = 0;
  long markers = 0;
  std::optional<int> permutations;
};

// Permutations of a written file when the command line gives no count.
inline constexpr int kDefaultPermutations = 200;

// The file written for `counts`: the default settings (one analysis) with
// the data's counts and `permutations`.
std::string data_parameter_text(long individuals, long markers, int permutations);

// Writes the file for `counts` into the work directory when there is none
// (a note on `console` says so), or checks that the existing one agrees
// with them: Sample_size with the individuals, Number_of_markers with the
// markers and Number_of_permutation with the asked count; a disagreement
// is an error naming both numbers. Returns the number of permutations.
int settle_parameter_file(const AnalysisContext& ctx, const DataCounts& counts, std::ostream& console);

}  // namespace snp
