#include "coding/major_allele.h"

#include <algorithm>
#include <array>
#include <bit>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cmath>
#include <ostream>

#include "numeric/gamma.h"

namespace snp {
namespace {

struct MarkerCounts {
  std::array<double, 3> genotype{};  // c0, c1, c2
  double control_sum = 0, control_count = 0;
  double case_sum = 0, case_count = 0;
};

// Rows of each study group as bit sets (status 0 controls, 1 cases).
struct GroupMasks {
  std::vector<std::uint64_t> controls, cases;
};

GroupMasks group_masks(const std::vector<std::int16_t>& status, int rows) {
  const size_t words = (static_cast<size_t>(rows) + 63) / 64;
  GroupMasks g{std::vector<std::uint64_t>(words), std::vector<std::uint64_t>(words)};
  for (int s = 0; s < rows; ++s) {
    const std::uint64_t bit = std::uint64_t{1} << (s % 64);
    if (status[static_cast<size_t>(s)] == 0) g.controls[static_cast<size_t>(s) / 64] |= bit;
    if (status[static_cast<size_t>(s)] == 1) g.cases[static_cast<size_t>(s) / 64] |= bit;
  }
  return g;
}

[[gnu::target_clones("popcnt", "default")]] MarkerCounts count_codes(const CodePlanes& p, const GroupMasks& g) {
  long known = 0, ones = 0, twos = 0;
  long group_known[2] = {0, 0}, group_sum[2] = {0, 0};
  for (size_t w = 0; w < p.known.size(); ++w) {
    known += std::popcount(p.known[w]);
    ones += std::popcount(p.one[w]);
    twos += std::popcount(p.two[w]);
    const std::uint64_t masks[2] = {g.controls[w], g.cases[w]};
    for (int k = 0; k < 2; ++k) {
      group_known[k] += std::popcount(p.known[w] & masks[k]);
      group_sum[k] += std::popcount(p.one[w] & masks[k]) + 2 * std::popcount(p.two[w] & masks[k]);
    }
  }
  MarkerCounts c;
  c.genotype = {static_cast<double>(known - ones - twos), static_cast<double>(ones), static_cast<double>(twos)};
  c.control_sum = static_cast<double>(group_sum[0]);
  c.control_count = static_cast<double>(group_known[0]);
  c.case_sum = static_cast<double>(group_sum[1]);
  c.case_count = static_cast<double>(group_known[1]);
  return c;
}

double panel_frequency(const ReferencePanel& panel, int column) {
  return static_cast<double>(panel_code_sum(panel, column)) / panel.haplotype_count;
}

bool should_recode(int tag, double distance) {
  if (tag == 1) return true;
  if (tag == 2) return distance > 0.015;
  return distance > 0.25;
}

void swap_homozygotes(std::int8_t* column, int rows) {
  for (int s = 0; s < rows; ++s) {
    if (column[s] == 0)
      column[s] = 2;
    else if (column[s] == 2)
      column[s] = 0;
  }
}

double c_ln_c(double c) { return c > 0 ? c * std::log(c) : 0.0; }

// Everything the first pass reads, and the statistics it fills.
struct CodingPass {
  StudyGenotypes& study;
  const ReferencePanel& panel;
  const StudyMap& study_map;
  const MarkerAlignment& alignment;
  const GroupMasks groups;
  AlleleStatistics& stats;
  std::ostream& console;
};

// First pass for one matched study marker i at reference column r: counts,
// frequencies, recoding, discordance flag and Hardy-Weinberg p-value.
void code_marker(CodingPass& pass, size_t i, int r) {
  const int rows = pass.study.individuals;
  std::int8_t* column = pass.study.codes.column(r);
  const MarkerCounts c = count_codes(code_planes(column, rows), pass.groups);
  double f_ctrl = c.control_count > 0 ? c.control_sum / (2 * c.control_count) : 0.0;
  double f_case = c.case_count > 0 ? c.case_sum / (2 * c.case_count) : 0.0;
  const double p_ref = panel_frequency(pass.panel, r);
  auto& freq = pass.stats.frequencies[static_cast<size_t>(r)];
  freq = {f_ctrl, f_case, p_ref};

  const double distance = std::fabs(p_ref - 0.5 * f_case - 0.5 * f_ctrl);
  if (should_recode(pass.alignment.concordance[static_cast<size_t>(r)], distance)) {
    swap_homozygotes(column, rows);
    if (f_ctrl >= 0 && f_ctrl <= 1) f_ctrl = 1 - f_ctrl;
    if (f_case >= 0 && f_case <= 1) f_case = 1 - f_case;
    freq[0] = f_ctrl;
    freq[1] = f_case;
  }

  const bool far = std::fabs(f_case - p_ref) > 0.1 || std::fabs(f_ctrl - p_ref) > 0.1;
  if (far && pass.panel.letters[static_cast<size_t>(r)][1] != pass.study_map.letters[i][0]) {
    pass.stats.discordant[static_cast<size_t>(r)] = 1;
    ++pass.stats.discordant_count;
  }
  const double g = hardy_weinberg_statistic(c.genotype[0], c.genotype[1], c.genotype[2]);
  pass.stats.hardy_weinberg[static_cast<size_t>(r)] = hardy_weinberg_pvalue(g, pass.console);
}

// Second pass: strongest absolute correlation of study marker i (column r)
// with the study markers i-5 .. i+4.
double strongest_correlation(const std::vector<CodePlanes>& planes, int i) {
  const int typed = static_cast<int>(planes.size());
  double best = 0.0;
  for (int j = i - 5; j <= i + 4 && j < typed; ++j) {
    if (j < 0 || j == i) continue;
    const double rho = planes_correlation(planes[static_cast<size_t>(i)], planes[static_cast<size_t>(j)]);
    if (std::fabs(rho) > best) best = std::fabs(rho);
  }
  return best;
}

}  // namespace

double hardy_weinberg_statistic(double c0, double c1, double c2) {
  const int zeros = (c0 == 0) + (c1 == 0) + (c2 == 0);
  if (zeros >= 2) return 0.0;
  const double n = c0 + c1 + c2;
  const double a0 = 2 * c0 + c1;
  const double a2 = 2 * c2 + c1;
  return 2 * (c_ln_c(c0) + c_ln_c(c1) + c_ln_c(c2) + n * std::log(n) + (2 * n - c1) * std::log(2.0) -
              c_ln_c(a0) - c_ln_c(a2));
}

double hardy_weinberg_pvalue(double g, std::ostream& console) {
  if (!(g > 0)) return 0.5;
  return chisq_upper_tail(1, g, console);
}

CodePlanes code_planes(const std::int8_t* column, int rows) {
  const size_t words = (static_cast<size_t>(rows) + 63) / 64;
  CodePlanes p{std::vector<std::uint64_t>(words), std::vector<std::uint64_t>(words), std::vector<std::uint64_t>(words)};
  int s = 0;
#ifdef __SSE2__
  // Sixteen rows at a time: byte comparisons turned into bit masks.
  const __m128i one = _mm_set1_epi8(1), two = _mm_set1_epi8(2), three = _mm_set1_epi8(3);
  for (; s + 16 <= rows; s += 16) {
    const __m128i codes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(column + s));
    const __m128i known = _mm_and_si128(_mm_cmpgt_epi8(codes, _mm_set1_epi8(-1)), _mm_cmplt_epi8(codes, three));
    const auto shift = static_cast<unsigned>(s % 64);
    const size_t word = static_cast<size_t>(s) / 64;
    p.known[word] |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(known))) << shift;
    p.one[word] |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(codes, one)))) << shift;
    p.two[word] |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(codes, two)))) << shift;
  }
#endif
  for (; s < rows; ++s) {
    const std::uint64_t bit = std::uint64_t{1} << (s % 64);
    const size_t word = static_cast<size_t>(s) / 64;
    const int code = column[s];
    if (code >= 0 && code <= 2) p.known[word] |= bit;
    if (code == 1) p.one[word] |= bit;
    if (code == 2) p.two[word] |= bit;
  }
  return p;
}

// Built twice, with and without the processor's population-count instruction.
[[gnu::target_clones("popcnt", "default")]] double planes_correlation(const CodePlanes& x, const CodePlanes& y) {
  // Exact integer sums over the rows where both codes are known; a code is
  // one + 2 * two, and its square one + 4 * two.
  long n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  for (size_t w = 0; w < x.known.size(); ++w) {
    const std::uint64_t k = x.known[w] & y.known[w];
    const long x1 = std::popcount(x.one[w] & k), x2 = std::popcount(x.two[w] & k);
    const long y1 = std::popcount(y.one[w] & k), y2 = std::popcount(y.two[w] & k);
    n += std::popcount(k);
    sx += x1 + 2 * x2;
    sy += y1 + 2 * y2;
    sxx += x1 + 4 * x2;
    syy += y1 + 4 * y2;
    sxy += std::popcount(x.one[w] & y.one[w]) + 2 * std::popcount(x.one[w] & y.two[w]) +
           2 * std::popcount(x.two[w] & y.one[w]) + 4 * std::popcount(x.two[w] & y.two[w]);
  }
  const double count = static_cast<double>(n);
  const double dxx = static_cast<double>(sxx) - static_cast<double>(sx) * static_cast<double>(sx) / count;
  const double dyy = static_cast<double>(syy) - static_cast<double>(sy) * static_cast<double>(sy) / count;
  const double dxy = static_cast<double>(sxy) - static_cast<double>(sx) * static_cast<double>(sy) / count;
  return dxy / (std::sqrt(dxx) * std::sqrt(dyy));
}

double genotype_correlation(const std::int8_t* x, const std::int8_t* y, int rows) {
  return planes_correlation(code_planes(x, rows), code_planes(y, rows));
}

AlleleStatistics code_alleles(StudyGenotypes& study, const ReferencePanel& panel, const StudyMap& study_map,
                              const MarkerAlignment& alignment, std::ostream& console) {
  const auto markers = static_cast<size_t>(panel.marker_count);
  AlleleStatistics stats;
  stats.frequencies.assign(markers, {0.0, 0.0, 0.0});
  stats.hardy_weinberg.assign(markers, 0.0);
  stats.correlation.assign(markers, 0.0);
  stats.discordant.assign(markers, 0);
  CodingPass pass{study, panel, study_map, alignment, group_masks(study.status, study.individuals), stats, console};
  const std::vector<int>& reference_marker = alignment.reference_marker;
  for (size_t i = 0; i < reference_marker.size(); ++i)
    if (alignment.matched[i]) code_marker(pass, i, reference_marker[i]);
  console << "different_big=" << stats.discordant_count << "\n";
  // Neighbours are taken at their reference column, matched or not.
  std::vector<CodePlanes> planes;
  planes.reserve(reference_marker.size());
  for (int q : reference_marker) planes.push_back(code_planes(study.codes.column(q), study.individuals));
  for (size_t i = 0; i < reference_marker.size(); ++i)
    if (alignment.matched[i])
      stats.correlation[static_cast<size_t>(reference_marker[i])] = strongest_correlation(planes, static_cast<int>(i));
  return stats;
}

}  // namespace snp
