#include "screen/quickindex1.h"

#include "numeric/index_sort.h"

namespace snp::screen {

void Quickindex1(const double* a, int* index, int n) {
  for (int j = 0; j < n; ++j) index[j] = j;
  index_sort(a, index, 0, n - 1);
}

}  // namespace snp::screen
