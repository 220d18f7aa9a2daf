#include "impute/panel_window.h"

#include <algorithm>

namespace snp {

MarkerWindow hmm_panel_window(const std::vector<int>& typed, MarkerWindow range, int marker_count, int block_markers,
                              int block_overlap) {
  const int T = static_cast<int>(typed.size()), B = std::max(1, block_markers);
  if (range.first >= range.end || T == 0) return range;
  const int blocks = (T + B - 1) / B;
  // The block of reference marker t: that of the last typed marker at or before it.
  auto block_of = [&](int t) {
    const int right = static_cast<int>(std::upper_bound(typed.begin(), typed.end(), t) - typed.begin());
    return std::max(0, right - 1) / B;
  };
  MarkerWindow window = range;
  for (int block = block_of(range.first); block <= block_of(range.end - 1); ++block) {
    const int block_first = block == 0 ? 0 : typed[static_cast<size_t>(block * B)];
    const int block_end = block + 1 >= blocks ? marker_count : typed[static_cast<size_t>((block + 1) * B)];
    const int run_first = std::max(0, block * B - block_overlap);
    const int run_last = std::min(T, (block + 1) * B + block_overlap) - 1;
    window.first = std::min({window.first, block_first, typed[static_cast<size_t>(run_first)]});
    window.end = std::max({window.end, block_end, typed[static_cast<size_t>(run_last)] + 1});
  }
  return window;
}

}  // namespace snp
