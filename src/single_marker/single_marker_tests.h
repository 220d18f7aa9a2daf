// Case/control association of one marker under four genetic models:
// allelic ("additive"), dominant, recessive and genotype (up to two degrees
// of freedom). Group sizes come from the study's configured sizes less the
// missing codes, not from the number of rows scanned.
#pragma once

#include <array>
#include <cstdint>

namespace snp::screen {

// The study's group sizes; entry order as in the original table: controls
// first, then cases.
struct SampleSize {
  int controls = 271;
  int cases = 276;
};

// Genotype counts of one marker: entries 0, 1, 2 count the codes 0, 1, 2,
// entry 3 the missing code -1.
struct GenotypeCounts {
  std::array<int, 4> cases{};
  std::array<int, 4> controls{};
};

// p[0] allelic, p[1] dominant, p[2] recessive, p[3] genotype.
using ModelPvalues = std::array<double, 4>;

// Chi-square statistic and degrees of freedom of each model. Degrees of
// freedom 0 mark a p-value of 1.0 that needs no evaluation: a genotype test
// with fewer than two classes present, or a marker where a group has no
// effective member.
struct ModelStatistics {
  std::array<double, 4> value{};
  std::array<int, 4> df{};
};

ModelStatistics statistics_from_counts(const GenotypeCounts& counts, const SampleSize& samplesize);

// Upper-tail p-value of a statistic: 1.0 for df 0, else the chi-square tail
// (series below df/2 + 1, continued fraction from there on). Throws
// FatalError with the gammp message for a negative statistic.
double pvalue_of(double statistic, int df);

// Fills p from the counts of one marker; returns p[0]. When a group has no
// effective member (its size less its missing codes is 0 or below) no test
// is defined and all four p-values are 1.0. Throws FatalError with the
// gammp message when a statistic is negative (group sizes smaller than the
// counts).
double pvalues_from_counts(const GenotypeCounts& counts, const SampleSize& samplesize, ModelPvalues& p);

// Counts the codes of individuals 0..n-1 at `column` (status 1 = case, any
// other value = control) and tests them; returns p[0].
double calculate_pvalue4(const short* status, const std::int8_t* const* genotypes, int n, int column,
                         const SampleSize& samplesize, ModelPvalues& p);

// As calculate_pvalue4, and hands back the counts it tested.
double calculate_pvalue4_and_freq(const short* status, const std::int8_t* const* genotypes, int n, int column,
                                  const SampleSize& samplesize, ModelPvalues& p, std::array<int, 4>& case_counts,
                                  std::array<int, 4>& control_counts);

}  // namespace snp::screen
