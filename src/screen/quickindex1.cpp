#include "screen/quickindex1.h"

#include <tuple>
#include <utility>
#include <vector>

namespace snp::screen {
namespace {

// Sub-ranges with ir - l below this are finished by straight insertion.
constexpr int kInsertionLimit = 7;

void insertion_sort(const double* a, int* index, int l, int ir) {
  for (int j = l + 1; j <= ir; ++j) {
    const int moving = index[j];
    const double value = a[moving];
    int i = j - 1;
    for (; i >= l; --i) {
      if (a[index[i]] <= value) break;
      index[i + 1] = index[i];
    }
    index[i + 1] = moving;
  }
}

// Partitions index[l..ir] around the median of a[l], a[mid], a[ir]; returns
// the pivot's final position j (index[l..j-1] <= pivot <= index[j+1..ir]).
int partition(const double* a, int* index, int l, int ir) {
  const int mid = (l + ir) >> 1;
  std::swap(index[mid], index[l + 1]);
  if (a[index[l]] > a[index[ir]]) std::swap(index[l], index[ir]);
  if (a[index[l + 1]] > a[index[ir]]) std::swap(index[l + 1], index[ir]);
  if (a[index[l]] > a[index[l + 1]]) std::swap(index[l], index[l + 1]);
  // a[index[l]] and a[index[ir]] now stop the two scans.
  int i = l + 1;
  int j = ir;
  const int pivot_index = index[l + 1];
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
  return j;
}

}  // namespace

void Quickindex1(const double* a, int* index, int n) {
  for (int j = 0; j < n; ++j) index[j] = j;
  // The larger part of each partition waits here while the smaller one is
  // sorted, so the depth stays near log2(n); the stack grows as needed.
  std::vector<std::pair<int, int>> pending;
  int l = 0;
  int ir = n - 1;
  for (;;) {
    if (ir - l < kInsertionLimit) {
      insertion_sort(a, index, l, ir);
      if (pending.empty()) return;
      std::tie(l, ir) = pending.back();
      pending.pop_back();
      continue;
    }
    const int j = partition(a, index, l, ir);
    const int i = j + 1;
    if (ir - i + 1 >= j - l) {
      pending.emplace_back(i, ir);
      ir = j - 1;
    } else {
      pending.emplace_back(l, j - 1);
      l = i;
    }
  }
}

}  // namespace snp::screen
