#include "numeric/gamma.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "base/errors.h"

namespace snp {
namespace {

TEST(Gamma, KnownValuesOnBothBranches) {
  EXPECT_NEAR(gammln(0.5), 0.5723649, 1e-7);
  EXPECT_NEAR(gammln(10.0), std::log(362880.0), 1e-9);
  // Continued fraction (x = 1.9205) and series (x = 0.5) branches.
  EXPECT_NEAR(chisq_upper_tail(1, 3.841), 0.0500137, 5e-8);
  EXPECT_NEAR(chisq_upper_tail(1, 1.0), 0.3173105, 5e-8);
  EXPECT_NEAR(1.0 - pchisq(1, 3.841), 0.0500137, 5e-8);
  // At x = a + 1 the continued fraction is used.
  double gammcf = 0, gln = 0;
  gcf(&gammcf, 2.0, 3.0, &gln);
  EXPECT_DOUBLE_EQ(gammp(2.0, 3.0), 1.0 - gammcf);
}

TEST(Gamma, InvalidArgumentsAndNoConvergence) {
  for (auto call : {+[] { gammp(0.0, 1.0); }, +[] { pchisq(0, 1.0); }, +[] { gammp(1.0, -1.0); }}) {
    try {
      call();
      FAIL();
    } catch (const FatalError& e) {
      EXPECT_STREQ(e.what(), " error for the input parameter in gammp function\n");
      EXPECT_EQ(e.channel(), Channel::standard_output);
    }
  }
  std::ostringstream console;
  double gamser = 0, gln = 0;
  gser(&gamser, 1.0, 400.0, &gln, console);  // far past the split: the series cannot converge
  EXPECT_EQ(console.str(), "a too large, ITMAX too small in routing gser\n");
  EXPECT_TRUE(std::isfinite(gamser));
}

}  // namespace
}  // namespace snp
