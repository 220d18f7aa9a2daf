#include "impute/neighbourhood.h"

#include <algorithm>
#include <vector>

namespace snp {
namespace {

constexpr double kGrowthR2 = 0.3;
constexpr double kPruneR2 = 0.005;
constexpr int kMaxDistance = 29999;

}  // namespace

NeighbourhoodWindow typed_marker_window(const RunData& d, ImputationStep& step, int t) {
  const int m = d.max_SNP_map1_i;
  const std::vector<int>& s = d.SNP_map1;
  auto entry = [&](int index) { return index >= 0 && index < m ? s[static_cast<size_t>(index)] : -1; };
  int first_start;   // list index of slot 0 of the first group, counting down
  int second_start;  // list index of slot 0 of the second group, counting up
  if (entry(1) > t) {
    first_start = 5;
    second_start = 6;
  } else if (entry(m - 1) < t) {
    first_start = m - 6;
    second_start = m - 5;
  } else {
    int c = step.cursor;
    while (c < m - 1 && s[static_cast<size_t>(c)] < t) step.cursor = ++c;
    int f = std::max(c, 6);
    if (c >= m - 6) f = std::max(m - 6, 6);
    step.find_near_type_marker = f;
    first_start = entry(f) == t ? f - 1 : f;
    second_start = f + 1;
  }
  NeighbourhoodWindow w;
  for (int k = 0; k < 6; ++k) {
    if (entry(first_start - k) >= 0) w.first.push_back(entry(first_start - k));
    if (entry(second_start + k) >= 0) w.second.push_back(entry(second_start + k));
  }
  return w;
}

std::vector<int> grow_group(const std::vector<int>& slots, int initial, const RunContext& ctx, int t) {
  std::vector<int> group(slots.begin(), slots.begin() + std::min<size_t>(slots.size(), static_cast<size_t>(initial)));
  int rejections = 0;
  for (size_t k = static_cast<size_t>(initial); k < slots.size() && rejections <= 1; ++k) {
    const int candidate = slots[k];
    if (candidate < 0 || candidate >= ctx.config.population_marker) continue;
    if (calculate_LD(ctx.data.data_population, candidate, t) > kGrowthR2)
      group.push_back(candidate);
    else
      ++rejections;
  }
  return group;
}

std::vector<int> prune_group(const std::vector<int>& group, bool left_side, const RunContext& ctx, int t) {
  std::vector<int> kept;
  size_t best = 0;
  double best_r2 = -1.0;
  for (size_t k = 0; k < group.size(); ++k) {
    const int m = group[k];
    const double r2 = calculate_LD(ctx.data.data_population, m, t);
    const bool too_far = left_side ? t - m > kMaxDistance : m - t > kMaxDistance;
    if (!(r2 < kPruneR2 || too_far)) kept.push_back(m);
    if (k == 0 || r2 > best_r2) {
      best = k;
      best_r2 = r2;
    }
  }
  if (kept.empty() && !group.empty()) kept.push_back(group[best]);
  return kept;
}

namespace {

void store_group(const std::vector<int>& group, std::array<int, 6>& slots, int& length) {
  std::copy(group.begin(), group.end(), slots.begin());
  length = static_cast<int>(group.size());
}

}  // namespace

double calculate_LD(const case_and_control_genotype_data& panel, int i, int j) {
  const int n = panel.sample_number;
  if (n <= 0) return 0.0;
  const std::int8_t* x = panel.genotype.column(i);
  const std::int8_t* y = panel.genotype.column(j);
  long n11 = 0, n10 = 0, n01 = 0;
  for (int h = 0; h < n; ++h) {
    if (x[h] < 0 || y[h] < 0) continue;
    n11 += x[h] == 1 && y[h] == 1;
    n10 += x[h] == 1 && y[h] == 0;
    n01 += x[h] == 0 && y[h] == 1;
  }
  const double p11 = static_cast<double>(n11) / n;
  const double pa = static_cast<double>(n11 + n10) / n;
  const double pb = static_cast<double>(n11 + n01) / n;
  const double d = p11 - pa * pb;
  if ((pa == 0.0 || pa == 1.0) && (pb == 0.0 || pb == 1.0)) return 1.0;
  if (pa <= 0.0 || pb <= 0.0 || pa >= 1.0 || pb >= 1.0) return 0.0;
  return d * d / pa / pb / (1.0 - pa) / (1.0 - pb);
}

void determinate_len(RunContext& ctx) {
  ImputationStep& step = ctx.step;
  const int t = step.begin_hapmap_i;
  step.impute_marker[0] = t;
  const NeighbourhoodWindow window = typed_marker_window(ctx.data, step, t);
  std::vector<int> first = grow_group(window.first, step.inital_begin_len1, ctx, t);
  std::vector<int> second = grow_group(window.second, step.inital_begin_len2, ctx, t);
  std::reverse(first.begin(), first.end());
  store_group(prune_group(first, true, ctx, t), step.marker1, step.len1);
  store_group(prune_group(second, false, ctx, t), step.marker2, step.len2);
}

}  // namespace snp
