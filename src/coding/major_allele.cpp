#include "coding/major_allele.h"

#include <array>
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

MarkerCounts count_codes(const std::int8_t* column, const std::vector<std::int16_t>& status, int rows) {
  std::array<long, 3> genotype{};
  long sums[2] = {0, 0}, counts[2] = {0, 0};  // index 0 controls, 1 cases
  for (int s = 0; s < rows; ++s) {
    const int g = column[s];
    if (g < 0 || g > 2) continue;
    ++genotype[static_cast<size_t>(g)];
    const int group = status[static_cast<size_t>(s)];
    if (group == 0 || group == 1) {
      sums[group] += g;
      ++counts[group];
    }
  }
  MarkerCounts c;
  for (size_t g = 0; g < 3; ++g) c.genotype[g] = static_cast<double>(genotype[g]);
  c.control_sum = static_cast<double>(sums[0]);
  c.control_count = static_cast<double>(counts[0]);
  c.case_sum = static_cast<double>(sums[1]);
  c.case_count = static_cast<double>(counts[1]);
  return c;
}

double panel_frequency(const case_and_control_genotype_data& panel, int column) {
  const std::int8_t* codes = panel.genotype.column(column);
  long sum = 0;
  for (int h = 0; h < panel.sample_number; ++h) sum += codes[h];
  return static_cast<double>(sum) / panel.sample_number;
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

// First pass for one matched study marker i at reference column r: counts,
// frequencies, recoding, discordance flag and Hardy-Weinberg p-value.
// Returns true when the marker is flagged as discordant.
bool code_marker(RunContext& ctx, size_t i, int r) {
  RunData& d = ctx.data;
  const int rows = d.data1.sample_number;
  std::int8_t* column = d.data1.genotype.column(r);
  const MarkerCounts c = count_codes(column, d.data1.status, rows);
  double f_ctrl = c.control_count > 0 ? c.control_sum / (2 * c.control_count) : 0.0;
  double f_case = c.case_count > 0 ? c.case_sum / (2 * c.case_count) : 0.0;
  const double p_ref = panel_frequency(d.data_population, r);
  auto freq = d.allele_freq[r];
  freq[0] = f_ctrl;
  freq[1] = f_case;
  freq[2] = p_ref;

  const double distance = std::fabs(p_ref - 0.5 * f_case - 0.5 * f_ctrl);
  if (should_recode(d.diff_SNP_name_tag[static_cast<size_t>(r)], distance)) {
    swap_homozygotes(column, rows);
    if (f_ctrl >= 0 && f_ctrl <= 1) f_ctrl = 1 - f_ctrl;
    if (f_case >= 0 && f_case <= 1) f_case = 1 - f_case;
    freq[0] = f_ctrl;
    freq[1] = f_case;
  }

  bool flagged = false;
  const bool far = std::fabs(f_case - p_ref) > 0.1 || std::fabs(f_ctrl - p_ref) > 0.1;
  if (far && d.allele_name[static_cast<size_t>(r)][1] != d.disease_allele_name[i][0]) {
    d.different_larger[static_cast<size_t>(r)] = 1;
    flagged = true;
  }
  const double g = hardy_weinberg_statistic(c.genotype[0], c.genotype[1], c.genotype[2]);
  d.Hardy_Weinberg[static_cast<size_t>(r)] = hardy_weinberg_pvalue(g, ctx.out());
  return flagged;
}

// Second pass: strongest absolute correlation with the study markers i-5 .. i+4.
void correlate_marker(RunData& d, int i, int r) {
  const int typed = static_cast<int>(d.SNP_map.size());
  const int rows = d.data1.sample_number;
  double& best = d.correlation[static_cast<size_t>(r)];
  best = 0.0;
  for (int j = i - 5; j <= i + 4 && j < typed; ++j) {
    if (j < 0 || j == i) continue;
    const int q = d.SNP_map[static_cast<size_t>(j)];
    const double rho = genotype_correlation(d.data1.genotype.column(r), d.data1.genotype.column(q), rows);
    if (std::fabs(rho) > best) best = std::fabs(rho);
  }
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

double genotype_correlation(const std::int8_t* x, const std::int8_t* y, int rows) {
  // Joint counts of the two codes over rows where both are known; the sums of
  // deviations follow from the 3 x 3 table.
  long table[3][3] = {};
  for (int s = 0; s < rows; ++s) {
    const unsigned a = static_cast<unsigned>(x[s]);
    const unsigned b = static_cast<unsigned>(y[s]);
    if (a <= 2 && b <= 2) ++table[a][b];
  }
  double n = 0, sx = 0, sy = 0;
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) {
      const double count = static_cast<double>(table[a][b]);
      n += count;
      sx += a * count;
      sy += b * count;
    }
  const double mx = sx / n, my = sy / n;
  double sxx = 0, syy = 0, sxy = 0;
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) {
      const double count = static_cast<double>(table[a][b]);
      sxx += count * (a - mx) * (a - mx);
      syy += count * (b - my) * (b - my);
      sxy += count * (a - mx) * (b - my);
    }
  return sxy / (std::sqrt(sxx) * std::sqrt(syy));
}

void major_allele_transform1(RunContext& ctx) {
  RunData& d = ctx.data;
  d.different_larger.assign(static_cast<size_t>(ctx.config.population_marker), 0);
  int flagged = 0;
  for (size_t i = 0; i < d.SNP_map.size(); ++i)
    if (d.snp_matched[i] && code_marker(ctx, i, d.SNP_map[i])) ++flagged;
  ctx.out() << "different_big=" << flagged << "\n";
  for (size_t i = 0; i < d.SNP_map.size(); ++i)
    if (d.snp_matched[i]) correlate_marker(d, static_cast<int>(i), d.SNP_map[i]);
}

}  // namespace snp
