#include "single_marker/single_marker_tests.h"

#include "numeric/gamma.h"

namespace snp::screen {
namespace {

// Statistic given to a test whose groups cannot differ.
constexpr double kDegenerateStatistic = 0.0001;

struct EffectiveSizes {
  double cases;
  double controls;
};

double squared(double v) { return v * v; }

// Allelic test on the frequencies of the counted allele; K, the integer
// quotient of 4 Nn Nc by the number of counted alleles, is part of the
// statistic as the test defines it.
double allelic_statistic(const GenotypeCounts& c, int case_size, int control_size) {
  const long long case_alleles = c.cases[1] + 2LL * c.cases[2];
  const long long control_alleles = c.controls[1] + 2LL * c.controls[2];
  const double fc = static_cast<double>(case_alleles) / (2.0 * case_size);
  const double fn = static_cast<double>(control_alleles) / (2.0 * control_size);
  if ((fc <= 0 && fn <= 0) || (fc >= 1 && fn >= 1)) return kDegenerateStatistic;
  const long long k = 4LL * control_size * case_size / (case_alleles + control_alleles);
  return squared(fc - fn) *
         (1.0 / ((1 - fc) / (2.0 * control_size) + (1 - fn) / (2.0 * case_size)) + static_cast<double>(k));
}

// Difference of a case proportion pc and a control proportion pn.
double two_proportion_statistic(double pc, double pn, EffectiveSizes n) {
  if ((pc <= 0 && pn <= 0) || (pc >= 1 && pn >= 1)) return kDegenerateStatistic;
  return squared(pc - pn) * (1.0 / (pn / n.cases + pc / n.controls) +
                             1.0 / ((1 - pn) / n.cases + (1 - pc) / n.controls));
}

struct GenotypeStatistic {
  double value = 0;
  int used_classes = 0;
};

GenotypeStatistic genotype_statistic(const GenotypeCounts& c, EffectiveSizes n) {
  GenotypeStatistic s;
  for (int g = 2; g >= 0; --g) {
    const double gc = c.cases[static_cast<size_t>(g)] / n.cases;
    const double gn = c.controls[static_cast<size_t>(g)] / n.controls;
    if (gc > 0 || gn > 0) {
      s.value += squared(gc - gn) / (gc / n.controls + gn / n.cases);
      ++s.used_classes;
    } else {
      s.value += kDegenerateStatistic;
    }
  }
  return s;
}

}  // namespace

ModelStatistics statistics_from_counts(const GenotypeCounts& c, const SampleSize& samplesize) {
  ModelStatistics s;
  const int case_size = samplesize.cases - c.cases[3];
  const int control_size = samplesize.controls - c.controls[3];
  if (case_size <= 0 || control_size <= 0) return s;
  const EffectiveSizes n{static_cast<double>(case_size), static_cast<double>(control_size)};
  s.value[0] = allelic_statistic(c, case_size, control_size);
  s.value[1] = two_proportion_statistic((c.cases[1] + c.cases[2]) / n.cases,
                                        (c.controls[1] + c.controls[2]) / n.controls, n);
  s.value[2] = two_proportion_statistic(c.cases[2] / n.cases, c.controls[2] / n.controls, n);
  const GenotypeStatistic genotype = genotype_statistic(c, n);
  s.value[3] = genotype.value;
  s.df = {1, 1, 1, genotype.used_classes - 1};
  if (s.df[3] < 1) s.df[3] = 0;
  return s;
}

double pvalue_of(double statistic, int df) { return df == 0 ? 1.0 : chisq_upper_tail(df, statistic); }

double pvalues_from_counts(const GenotypeCounts& c, const SampleSize& samplesize, ModelPvalues& p) {
  const ModelStatistics s = statistics_from_counts(c, samplesize);
  for (size_t m = 0; m < p.size(); ++m) p[m] = pvalue_of(s.value[m], s.df[m]);
  return p[0];
}

double calculate_pvalue4_and_freq(const short* status, const std::int8_t* const* genotypes, int n, int column,
                                  const SampleSize& samplesize, ModelPvalues& p, std::array<int, 4>& case_counts,
                                  std::array<int, 4>& control_counts) {
  GenotypeCounts counts;
  for (int i = 0; i < n; ++i) {
    const int code = genotypes[i][column];
    auto& group = status[i] == 1 ? counts.cases : counts.controls;
    ++group[code >= 0 && code <= 2 ? static_cast<size_t>(code) : 3];  // -1 (or anything else): missing
  }
  pvalues_from_counts(counts, samplesize, p);
  case_counts = counts.cases;
  control_counts = counts.controls;
  return p[0];
}

double calculate_pvalue4(const short* status, const std::int8_t* const* genotypes, int n, int column,
                         const SampleSize& samplesize, ModelPvalues& p) {
  std::array<int, 4> case_counts{}, control_counts{};
  return calculate_pvalue4_and_freq(status, genotypes, n, column, samplesize, p, case_counts, control_counts);
}

}  // namespace snp::screen
