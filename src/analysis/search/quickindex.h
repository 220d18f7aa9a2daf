// Index sort by quicksort with median-of-three partitioning.
#pragma once

#include "numeric/arrays.h"

namespace snp {

// Fills index[1..n] with 1..n and orders it so that
// a[index[1]] <= ... <= a[index[n]]. Equal values end in the order the
// partitioning leaves them; the scores of the search depend on that order,
// so the scheme below must not be replaced by another sort.
void Quickindex(const DoubleVector& a, IntVector& index, int n);

}  // namespace snp
