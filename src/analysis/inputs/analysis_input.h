// analysis/inputs: what an analysis reads.
//
// The data a caller hands the association library.
#pragma once

#include <cstdint>
#include <vector>

namespace snp {

// Data set 0 is the observed data; the caller prepares the phenotypes (and
// marker columns) of permuted data sets.
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

}  // namespace snp
