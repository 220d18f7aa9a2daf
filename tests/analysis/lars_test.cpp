#include "analysis/fit/lars.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "analysis/fit/csm_lars.h"
#include "analysis/search/rand1.h"
#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

using test::ScratchDir;

using Columns = std::vector<std::vector<double>>;

// Centred copy of `v`.
std::vector<double> centred(std::vector<double> v) {
  const double mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
  for (double& x : v) x -= mean;
  return v;
}

struct Fit {
  explicit Fit(Columns design) : columns(std::move(design)) {
    std::ostringstream ignored;
    standardise_columns(columns, ignored);
  }
  FosResult run(const std::vector<double>& y) {
    LARS lars(console, static_cast<int>(y.size()), static_cast<int>(columns.size()), "", "");
    return lars.fos(columns, y);
  }
  Columns columns;
  std::ostringstream console;
};

TEST(AnalysisLars, AColumnThatExplainsThePhenotypeExactlyEndsWithAZeroResidual) {
  const std::vector<double> x = {1, 1, 0, 0, 1, 0, 0, 0};
  const std::vector<double> noise = {0, 1, 1, 0, 0, 0, 1, 0};
  const auto y = centred({3, 3, 0, 0, 3, 0, 0, 0});
  Fit two({noise, x});
  const FosResult exact = two.run(y);
  EXPECT_EQ(exact.cp_ratio, 0.0);
  EXPECT_NE(exact.beta[1], 0.0);
  EXPECT_EQ(exact.beta[0], 0.0);
  EXPECT_NE(two.console.str().find("Residual prediction error vector E[1] is zero, at 1 step !\n"),
            std::string::npos);
}

TEST(AnalysisLars, ANegativelyRelatedColumnLeavesTheFitWithANegativeCoefficient) {
  const auto y = centred({1, 1, 1, 0, 0, 0, 1, 0});
  Fit fit({{0, 0, 0, 1, 1, 1, 1, 0}, {1, 0, 1, 0, 1, 0, 1, 0}});
  const Columns as_read = fit.columns;
  const FosResult result = fit.run(y);
  EXPECT_LT(result.beta[0], 0.0);
  EXPECT_NE(fit.console.str().find("reverse column 0\n"), std::string::npos);
  EXPECT_EQ(fit.columns, as_read);
}

TEST(AnalysisLars, RunFitsTheStoreFileAndWritesTheCoefficientFile) {
  ScratchDir dir;
  std::ostringstream console;
  // Column 1 is the phenotype; column 2 is constant and never enters.
  dir.write("host-output_X_Y.txt",
            "0.500000 1 1 \n0.500000 1 1 \n-0.500000 0 1 \n-0.500000 0 1 \npara  4 2\n<number 0>\n");
  const StoreShape shape = read_store_shape(dir.file("host-output_X_Y.txt"));
  ASSERT_EQ(shape.rows, 4);
  ASSERT_EQ(shape.columns, 2);
  LARS lars(console, 4, 2, dir.file("host-output_X_Y.txt"), dir.file("host-beta.txt"));
  EXPECT_EQ(lars.run(), 0.0);
  EXPECT_EQ(dir.read("host-beta.txt"), "2\n1\nbeta[ 0 ]= 1 0.25\n");
  EXPECT_NE(console.str().find("correct rate=1\n"), std::string::npos);
  // Coefficients name columns below the count on the first line.
  dir.write("last.txt", "2\n1\nbeta[ 1 ]= 1 0.25\n");
  EXPECT_EQ(read_beta_file(dir.file("last.txt"), console).beta[1], 1.0);
  dir.write("beyond.txt", "2\n1\nbeta[ 2 ]= 1 0.25\n");
  EXPECT_THROW(read_beta_file(dir.file("beyond.txt"), console), InputError);

}

TEST(AnalysisLars, SlowProgressOverTenStepsEndsTheFit) {
  // Column 0 carries the phenotype; 19 columns of noise each take a little
  // of what is left. Without the stop all 20 would enter.
  Rand1State state;
  Columns design(20, std::vector<double>(60));
  std::vector<double> y(60);
  for (size_t i = 0; i < 60; ++i) {
    design[0][i] = i % 2 == 0 ? 1 : 0;
    for (size_t j = 1; j < 20; ++j) design[j][i] = rand1(state) < 0.5 ? 1 : 0;
    y[i] = 10 * design[0][i] + rand1(state);
  }
  Fit fit(design);
  const FosResult result = fit.run(centred(y));
  const std::string console = fit.console.str();
  EXPECT_NE(console.find("step 11 column"), std::string::npos);
  EXPECT_NE(console.find("k=12,"), std::string::npos);
  EXPECT_EQ(console.find("step 12 column"), std::string::npos);
  EXPECT_NE(console.find("Cp[12]="), std::string::npos);
  EXPECT_EQ(console.find("Cp[13]="), std::string::npos);
  EXPECT_GE(result.stopstep, 1);
  // A phenotype of noise over many rows: no ten steps make progress, and
  // the rule first looks back ten steps from the twelfth.
  Columns noise(20, std::vector<double>(20000));
  std::vector<double> z(20000);
  for (size_t i = 0; i < z.size(); ++i) {
    for (auto& column : noise) column[i] = rand1(state) < 0.5 ? 1 : 0;
    z[i] = rand1(state);
  }
  Fit slow(noise);
  slow.run(centred(z));
  EXPECT_NE(slow.console.str().find("k=12,"), std::string::npos);
  EXPECT_EQ(slow.console.str().find("k=13,"), std::string::npos);
}

}  // namespace
}  // namespace snp
