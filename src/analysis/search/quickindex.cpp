#include "analysis/search/quickindex.h"

#include "numeric/index_sort.h"

namespace snp {

void Quickindex(const DoubleVector& a, IntVector& index, int n) {
  for (int j = 1; j <= n; ++j) index[j] = j;
  index_sort(a, index, 1, n);
}

}  // namespace snp
