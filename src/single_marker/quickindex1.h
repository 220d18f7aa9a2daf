// Index sort by quicksort with median-of-three partitioning, over 0-based
// positions.
#pragma once

namespace snp::screen {

// Fills index[0..n-1] with 0..n-1 and orders it so that
// a[index[0]] <= ... <= a[index[n-1]]. Sub-ranges below 7 entries are
// finished by straight insertion; equal values end in the order the
// partitioning leaves them.
void Quickindex1(const double* a, int* index, int n);

}  // namespace snp::screen
