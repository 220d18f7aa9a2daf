#include "numeric/gamma.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/errors.h"

namespace snp {
namespace {

TEST(Gamma, KnownValuesAndInvalidArguments) {
  EXPECT_NEAR(gammln(0.5), 0.5723649, 1e-7);
  EXPECT_NEAR(gammln(10.0), std::log(362880.0), 1e-9);
  EXPECT_NEAR(1.0 - pchisq(1, 3.841), 0.0500137, 5e-8);
  for (auto call : {+[] { gammp(0.0, 1.0); }, +[] { gammp(1.0, -1.0); }}) {
    try {
      call();
      FAIL();
    } catch (const FatalError& e) {
      EXPECT_STREQ(e.what(), " error for the input parameter in gammp function\n");
      EXPECT_EQ(e.channel(), Channel::standard_output);
    }
  }
}

}  // namespace
}  // namespace snp
