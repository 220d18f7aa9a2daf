#include "numeric/gamma.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "base/errors.h"

namespace snp {
namespace {

TEST(Gamma, LogGammaKnownValues) {
  EXPECT_NEAR(gammln(1.0), 0.0, 1e-10);
  EXPECT_NEAR(gammln(2.0), 0.0, 1e-10);
  EXPECT_NEAR(gammln(0.5), 0.5723649, 1e-7);
  EXPECT_NEAR(gammln(10.0), std::log(362880.0), 1e-9);
}

TEST(Gamma, SeriesAtZeroStillSetsLogGamma) {
  double gamser = -1, gln = 0;
  gser(&gamser, 2.5, 0.0, &gln);
  EXPECT_EQ(gamser, 0.0);
  EXPECT_NEAR(gln, gammln(2.5), 1e-15);
}

TEST(Gamma, ChiSquareOneDegreeOfFreedom) {
  // Continued fraction branch (x = 1.9205) and series branch (x = 0.5).
  EXPECT_NEAR(chisq_upper_tail(1, 3.841), 0.0500137, 5e-8);
  EXPECT_NEAR(chisq_upper_tail(1, 1.0), 0.3173105, 5e-8);
  EXPECT_NEAR(1.0 - pchisq(1, 3.841), 0.0500137, 5e-8);
  EXPECT_NEAR(gammp(0.5, 0.5), 1.0 - 0.3173105, 5e-8);
}

TEST(Gamma, SplitPointUsesContinuedFraction) {
  // At x = a + 1 the continued fraction is used; both evaluations agree there
  // to their tolerance, so compare against the fraction itself.
  double gammcf = 0, gln = 0;
  gcf(&gammcf, 2.0, 3.0, &gln);
  EXPECT_DOUBLE_EQ(gammp(2.0, 3.0), 1.0 - gammcf);
}

TEST(Gamma, InvalidArgumentsStopWithTheirMessages) {
  for (auto call : {+[] { gammp(0.0, 1.0); }, +[] { pchisq(0, 1.0); }, +[] { gammp(1.0, -1.0); }}) {
    try {
      call();
      FAIL();
    } catch (const FatalError& e) {
      EXPECT_STREQ(e.what(), " error for the input parameter in gammp function\n");
      EXPECT_EQ(e.channel(), Channel::standard_output);
      EXPECT_EQ(e.exit_status(), 1);
    }
  }
  double gamser = 0, gln = 0;
  try {
    gser(&gamser, 1.0, -0.5, &gln);
    FAIL();
  } catch (const FatalError& e) {
    EXPECT_STREQ(e.what(), "error input parameter in routing gser\n");
  }
}

TEST(Gamma, SeriesWithoutConvergenceReportsAndReturnsPartialSum) {
  std::ostringstream console;
  double gamser = 0, gln = 0;
  gser(&gamser, 1.0, 400.0, &gln, console);  // far past the split: the series cannot converge
  EXPECT_EQ(console.str(), "a too large, ITMAX too small in routing gser\n");
  EXPECT_TRUE(std::isfinite(gamser));
}

}  // namespace
}  // namespace snp
