#include "numeric/arrays.h"

#include <gtest/gtest.h>

namespace snp {
namespace {

TEST(Arrays, InclusiveBoundsAndIndependentRows) {
  IntMatrix m = imatrix(1, 3, 1, 4);
  EXPECT_EQ(m.row_count(), 3u);
  m[3][4] = 34;
  EXPECT_EQ(m[2][2], 0);  // cells start at zero
  m.release_row(2);
  EXPECT_EQ(m[3][4], 34);
  IntVector v = ivector(-2, 2);
  v[-2] = 7;
  EXPECT_EQ(v[-2], 7);
  free_ivector(v, -2, 2);
  EXPECT_THROW(free_ivector(v, -2, 2), FatalError);  // released twice
}

TEST(Arrays, AllocationFailuresCarryTheirMessages) {
  try {
    cmatrix(0, 2, 5, 1);  // a row of negative length cannot be had
    FAIL();
  } catch (const AllocationError& e) {
    EXPECT_STREQ(e.what(),
                 "Numerical Recipes run-time error...\nallocation failure 2 in matrix()\n...now exiting to system...\n");
    EXPECT_EQ(e.channel(), Channel::standard_error);
  }
  EXPECT_EQ(matrix(3, 2, 0, 2).row_count(), 0u);  // an empty row range is no failure
  EXPECT_THROW(imatrix(4, 1, 0, 1), AllocationError);
}

}  // namespace
}  // namespace snp
