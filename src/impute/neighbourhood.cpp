#include "impute/neighbourhood.h"

#include <algorithm>
#include <vector>

namespace snp {
namespace {

constexpr double kGrowthR2 = 0.3;
constexpr double kPruneR2 = 0.005;
constexpr int kMaxDistance = 29999;
// Nearest markers of each side kept before the growth by r^2.
constexpr int kInitialGroupSize = 2;

}  // namespace

NeighbourhoodWindow typed_marker_window(const std::vector<int>& s, int& cursor, int t) {
  const int m = static_cast<int>(s.size());
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
    int c = cursor;
    while (c < m - 1 && s[static_cast<size_t>(c)] < t) cursor = ++c;
    int f = std::max(c, 6);
    if (c >= m - 6) f = std::max(m - 6, 6);
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

std::vector<int> grow_group(const std::vector<int>& slots, int initial, const ReferencePanel& panel, int t) {
  std::vector<int> group(slots.begin(), slots.begin() + std::min<size_t>(slots.size(), static_cast<size_t>(initial)));
  int rejections = 0;
  for (size_t k = static_cast<size_t>(initial); k < slots.size() && rejections <= 1; ++k) {
    const int candidate = slots[k];
    if (candidate < 0 || candidate >= panel.marker_count) continue;
    if (linkage_r2(panel, candidate, t) > kGrowthR2)
      group.push_back(candidate);
    else
      ++rejections;
  }
  return group;
}

std::vector<int> prune_group(const std::vector<int>& group, bool left_side, const ReferencePanel& panel, int t) {
  std::vector<int> kept;
  size_t best = 0;
  double best_r2 = -1.0;
  for (size_t k = 0; k < group.size(); ++k) {
    const int m = group[k];
    const double r2 = linkage_r2(panel, m, t);
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

double linkage_r2(const ReferencePanel& panel, int i, int j) {
  const int n = panel.haplotype_count;
  if (n <= 0) return 0.0;
  const std::int8_t* x = panel.haplotypes.column(i);
  const std::int8_t* y = panel.haplotypes.column(j);
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

Neighbourhood choose_neighbourhood(const ReferencePanel& panel, const std::vector<int>& typed, int& cursor, int t) {
  const NeighbourhoodWindow window = typed_marker_window(typed, cursor, t);
  std::vector<int> first = grow_group(window.first, kInitialGroupSize, panel, t);
  std::vector<int> second = grow_group(window.second, kInitialGroupSize, panel, t);
  std::reverse(first.begin(), first.end());
  Neighbourhood n;
  n.target = t;
  store_group(prune_group(first, true, panel, t), n.marker1, n.len1);
  store_group(prune_group(second, false, panel, t), n.marker2, n.len2);
  return n;
}

}  // namespace snp
