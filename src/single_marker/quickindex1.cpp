#include "single_marker/quickindex1.h"

#include <cstddef>
#include <vector>

#include "numeric/index_sort.h"

namespace snp::screen {

void Quickindex1(const double* a, int* index, int n) {
  std::vector<KeyedIndex> keyed(static_cast<size_t>(n > 0 ? n : 0));
  for (int j = 0; j < n; ++j) keyed[static_cast<size_t>(j)] = {a[j], j};
  index_sort(KeyedValues{}, keyed, 0, n - 1);
  for (int j = 0; j < n; ++j) index[j] = keyed[static_cast<size_t>(j)].position;
}

}  // namespace snp::screen
