#include "numeric/arrays.h"

#include <gtest/gtest.h>

namespace snp {
namespace {

TEST(Arrays, InclusiveBoundsAndAllocationFailures) {
  IntMatrix m = imatrix(1, 3, 1, 4);
  m[3][4] = 34;
  m.release_row(2);  // rows are independent
  EXPECT_EQ(m[3][4], 34);
  EXPECT_EQ(m[1][1], 0);  // cells start at zero
  EXPECT_EQ(matrix(3, 2, 0, 2).row_count(), 0u);  // an empty row range is no failure
  try {
    cmatrix(0, 2, 5, 1);  // a row of negative length cannot be had
    FAIL();
  } catch (const AllocationError& e) {
    EXPECT_STREQ(e.what(),
                 "Numerical Recipes run-time error...\nallocation failure 2 in matrix()\n...now exiting to system...\n");
  }
}

}  // namespace
}  // namespace snp
