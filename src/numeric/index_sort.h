// Index sort by quicksort with median-of-three partitioning and straight
// insertion for short sub-ranges. Equal values end in the order this scheme
// leaves them, which the analyses' scores depend on: it must not be replaced
// by another sort.
#pragma once

#include <tuple>
#include <utility>
#include <vector>

namespace snp {

// Orders index[low..high] (already holding positions into a) so that
// a[index[low]] <= ... <= a[index[high]]. Index is anything indexable by int
// (raw arrays, the bounded vectors); Values anything indexable by Index's
// elements (see KeyedValues for entries that carry their value).
template <class Values, class Index>
void index_sort(const Values& a, Index& index, int low, int high) {
  // Sub-ranges with ir - l below this are finished by straight insertion.
  constexpr int kInsertionLimit = 7;
  auto insertion_sort = [&](int l, int ir) {
    for (int j = l + 1; j <= ir; ++j) {
      const auto moving = index[j];
      const double value = a[moving];
      int i = j - 1;
      for (; i >= l; --i) {
        if (a[index[i]] <= value) break;
        index[i + 1] = index[i];
      }
      index[i + 1] = moving;
    }
  };
  // Pending sub-ranges: the larger part of each partition waits while the
  // smaller one is sorted, so the depth stays near log2(n); the stack grows.
  std::vector<std::pair<int, int>> pending;
  int l = low;
  int ir = high;
  for (;;) {
    if (ir - l < kInsertionLimit) {
      insertion_sort(l, ir);
      if (pending.empty()) return;
      std::tie(l, ir) = pending.back();
      pending.pop_back();
      continue;
    }
    // Median of a[l], a[mid], a[ir] goes to l + 1; the smaller to l and the
    // larger to ir, where they stop the scans below.
    const int mid = (l + ir) >> 1;
    std::swap(index[mid], index[l + 1]);
    if (a[index[l]] > a[index[ir]]) std::swap(index[l], index[ir]);
    if (a[index[l + 1]] > a[index[ir]]) std::swap(index[l + 1], index[ir]);
    if (a[index[l]] > a[index[l + 1]]) std::swap(index[l], index[l + 1]);
    int i = l + 1;
    int j = ir;
    const auto pivot_index = index[l + 1];
    const double pivot = a[pivot_index];
    for (;;) {
      do ++i;
      while (a[index[i]] < pivot);
      do --j;
      while (a[index[j]] > pivot);
      if (j < i) break;
      std::swap(index[i], index[j]);
    }
    index[l + 1] = index[j];
    index[j] = pivot_index;
    if (ir - i + 1 >= j - l) {
      pending.emplace_back(i, ir);
      ir = j - 1;
    } else {
      pending.emplace_back(l, j - 1);
      l = i;
    }
  }
}

// An index entry that carries its value: sorting these by the same scheme
// gives the same order as sorting plain positions, with the values at hand
// instead of scattered over the array.
struct KeyedIndex {
  double value;
  int position;
};

struct KeyedValues {
  double operator[](const KeyedIndex& entry) const { return entry.value; }
};

}  // namespace snp
