// Permutation jobs: a run that analyses only some of the permuted data sets
// writes their results to a part file, and a merging run takes the
// permutations from the parts instead of analysing them, writing exactly
// the files and console text of a whole run.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/inputs/analysis_input.h"

namespace snp {

// Permutations first..last, numbered from 1 as the statistics T1, T2, ...
// of "P_value.txt".
struct PermutationRange {
  int first = 1;
  int last = 1;
};

// "A:B" with 1 <= A <= B; nothing when the text is not of that form.
std::optional<PermutationRange> parse_permutation_range(const std::string& text);

// What one job leaves for the merge.
struct PermutationPart {
  std::string fingerprint;  // of the inputs and the parameter file
  int total = 0;            // permutations of the whole run
  bool ran = false;         // false: the observed fit left nothing to test
  PermutationRange range;
  double observed = 0.0;    // the observed fit value
  std::vector<double> fits;          // per permutation of the range
  std::vector<std::string> console;  // per permutation of the range
  // After the last permutation of the run: the store file and the
  // coefficient file (none when the last fit removed it).
  bool holds_last = false;
  std::string store;
  std::optional<std::string> coefficients;
};

// The text of a part file and the part read back from one; a file that is
// not a complete part is an error naming it.
std::string part_text(const PermutationPart& part);
PermutationPart read_part(const std::string& path);

// Name of the part file a job writes in the work directory.
std::string part_file_name(const PermutationRange& range);

// Identifies the inputs of a run: the genotypes, phenotypes and marker
// columns and the text of the parameter file.
std::string input_fingerprint(const AnalysisInput& input, const std::string& parameters);

// How a run takes part in a job split: it analyses a range and writes its
// part, or it merges parts; neither by default.
struct PermutationJobs {
  std::optional<PermutationRange> range;
  std::vector<PermutationPart> parts;
  std::string fingerprint;
  bool merging() const { return !parts.empty(); }
  // The part holding permutation `number` (from 1); null when none does.
  const PermutationPart* part_of(int number) const;
};

// Checks that the parts come from the same inputs and hold every
// permutation of the run exactly once; the error names the problem.
void check_parts(const std::vector<PermutationPart>& parts, const std::vector<std::string>& paths,
                 const std::string& fingerprint);

}  // namespace snp
