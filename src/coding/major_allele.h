// Allele coding: brings study codes to the panel's allele convention and
// records per-marker frequencies, Hardy-Weinberg p-values and correlations.
#pragma once

#include "model/run_data.h"

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

void major_allele_transform1(RunContext& ctx);

}  // namespace snp
