// Allele coding: brings study codes to the panel's allele convention and
// records per-marker frequencies, Hardy-Weinberg p-values and correlations.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <vector>

#include "input/input_data.h"

namespace snp {

// Likelihood-ratio Hardy-Weinberg statistic G from genotype counts.
double hardy_weinberg_statistic(double c0, double c1, double c2);
// Upper-tail p-value of G with one degree of freedom; 0.5 when G is not > 0.
double hardy_weinberg_pvalue(double g, std::ostream& console);
// Pearson correlation of two code columns over rows where both are 0, 1 or 2;
// NaN when there are no such rows or no variation.
double genotype_correlation(const std::int8_t* x, const std::int8_t* y, int rows);

// A code column as bit sets over its rows: known codes, codes 1, codes 2.
struct CodePlanes {
  std::vector<std::uint64_t> known, one, two;
};
CodePlanes code_planes(const std::int8_t* column, int rows);
double planes_correlation(const CodePlanes& x, const CodePlanes& y);

// Per reference marker, as the allele coding found them (0 where no study
// marker was matched).
struct AlleleStatistics {
  // Frequencies of the allele coded 1: controls, cases, panel.
  std::vector<std::array<double, 3>> frequencies;
  std::vector<double> hardy_weinberg;  // p-value of the study genotypes
  // Strongest absolute correlation with the study markers i-5 .. i+4.
  std::vector<double> correlation;
  // 1 where the study frequencies stay more than 0.1 from the panel's and
  // the letters disagree.
  std::vector<int> discordant;
  int discordant_count = 0;
};

// Brings the study codes of every matched marker to the panel's allele
// (copies of the allele the panel codes 1): swapped letters always, other
// letters when the frequencies say so. Prints "different_big=N".
AlleleStatistics code_alleles(StudyGenotypes& study, const ReferencePanel& panel, const StudyMap& study_map,
                              const MarkerAlignment& alignment, std::ostream& console);

}  // namespace snp
