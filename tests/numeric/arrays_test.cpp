#include "numeric/arrays.h"

#include <gtest/gtest.h>

namespace snp {
namespace {

TEST(Arrays, MatrixBoundsAreInclusiveAndRowsIndependent) {
  IntMatrix m = imatrix(1, 3, 1, 4);
  EXPECT_EQ(m.row_count(), 3u);
  m[1][1] = 11;
  m[3][4] = 34;
  EXPECT_EQ(m[1][1], 11);
  EXPECT_EQ(m[3][4], 34);
  EXPECT_EQ(m[2][2], 0);  // cells start at zero
  m.release_row(2);
  EXPECT_FALSE(m.row_allocated(2));
  EXPECT_EQ(m[3][4], 34);

  CharMatrix c = cmatrix(0, 5, 0, 7);
  EXPECT_EQ(c.row_count(), 6u);
  c[5][7] = -1;
  EXPECT_EQ(c[5][7], -1);
}

TEST(Arrays, EmptyRowRangeHasNoRows) {
  DoubleMatrix m = matrix(3, 2, 0, 2);
  EXPECT_EQ(m.row_count(), 0u);
}

TEST(Arrays, AllocationFailuresCarryTheirMessages) {
  try {
    cmatrix(0, 2, 5, 1);  // a row of negative length cannot be had
    FAIL();
  } catch (const AllocationError& e) {
    EXPECT_EQ(e.reason(), "allocation failure 2 in matrix()");
    EXPECT_STREQ(e.what(),
                 "Numerical Recipes run-time error...\nallocation failure 2 in matrix()\n...now exiting to system...\n");
    EXPECT_EQ(e.exit_status(), 1);
    EXPECT_EQ(e.channel(), Channel::standard_error);
  }
  EXPECT_THROW(imatrix(4, 1, 0, 1), AllocationError);
  try {
    dvector(3, 0);
    FAIL();
  } catch (const AllocationError& e) {
    EXPECT_EQ(e.reason(), "allocation failure in dvector()");
  }
}

TEST(Arrays, VectorsUseTheirBoundsAndRefuseDoubleRelease) {
  IntVector v = ivector(-2, 2);
  v[-2] = 7;
  v[2] = 9;
  EXPECT_EQ(v[-2], 7);
  EXPECT_EQ(v[2], 9);
  free_ivector(v, -2, 2);
  EXPECT_THROW(free_ivector(v, -2, 2), FatalError);
  DoubleVector never;
  EXPECT_THROW(free_dvector(never, 0, 1), FatalError);
}

}  // namespace
}  // namespace snp
