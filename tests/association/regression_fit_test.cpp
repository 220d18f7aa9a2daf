#include <gtest/gtest.h>

#include "association/distributions.h"

namespace snp::association {
namespace {

TEST(Distributions, StudentTailsMeetKnownValues) {
  EXPECT_NEAR(student_two_sided(2.0, 10), 0.07338803, 1e-7);
  EXPECT_NEAR(normal_two_sided(1.959964), 0.05, 1e-7);
}

}  // namespace
}  // namespace snp::association
