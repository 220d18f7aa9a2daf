// The per-marker fits against coefficients computed independently (a plain
// Newton iteration, with Firth's score where stated, written separately in
// Python over the same 20 samples), and the design's refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "association/design.h"
#include "association/distributions.h"
#include "association/marker_tests.h"
#include "base/errors.h"

namespace snp::association {
namespace {

const std::vector<double> kCovariate = {1.2, -0.5, 0.3, 2.0, -1.1, 0.7, 0.0, -0.3, 1.5, -2.0,
                                        0.4, 1.1,  -0.8, 0.6, -1.4, 0.9, 0.2, -0.6, 1.8, -1.2};
const std::vector<double> kGenotype = {0, 1, 2, 0, 1, 1, 2, 0, 0, 1, 2, 1, 0, 0, 1, 2, 0, 1, 1, 0};
const std::vector<double> kStatus = {0, 1, 1, 0, 0, 1, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 0, 1, 1, 0};
const std::vector<double> kTrait = {2.1, 3.5, 4.0, 1.2, 2.8, 3.9, 4.4, 1.5, 2.2, 2.9,
                                    4.8, 3.1, 1.0, 1.9, 3.3, 4.1, 1.4, 3.0, 3.6, 1.1};

Covariates covariates_of(const std::vector<std::vector<double>>& columns) {
  Covariates c;
  for (size_t j = 0; j < columns.size(); ++j) c.names.push_back(std::string(1, 'c').append(std::to_string(j + 1)));
  for (size_t s = 0; s < columns[0].size(); ++s)
    for (const auto& column : columns) c.values.push_back(column[s]);
  return c;
}

std::vector<std::optional<double>> phenotype(const std::vector<double>& values) {
  return {values.begin(), values.end()};
}

MarkerResult tested(Model model, const std::vector<double>& y, const std::vector<double>& genotype) {
  const Design design = build_design(phenotype(y), covariates_of({kCovariate}));
  return test_marker(model_base(model, design), genotype);
}

TEST(LogisticFit, WorkedFitWithACovariate) {
  const MarkerResult r = tested(Model::logistic, kStatus, kGenotype);
  ASSERT_EQ(r.fit.problem, FitProblem::none);
  EXPECT_FALSE(r.fit.firth);
  EXPECT_EQ(r.samples, 20);
  EXPECT_DOUBLE_EQ(r.frequency, 16.0 / 40);
  EXPECT_NEAR(r.fit.beta, 2.013820782497777, 1e-7);
  EXPECT_NEAR(r.fit.se, 0.9559421574636907, 1e-7);
  EXPECT_NEAR(r.fit.p, 0.0351492689662028, 1e-8);
}

TEST(LogisticFit, SeparatingMarkerFallsBackToFirth) {
  std::vector<double> carriers(20, 0);
  for (const size_t s : {1, 5, 10}) carriers[s] = 1;  // all cases
  const MarkerResult r = tested(Model::logistic, kStatus, carriers);
  ASSERT_EQ(r.fit.problem, FitProblem::none);
  EXPECT_TRUE(r.fit.firth);
  EXPECT_NEAR(r.fit.beta, 2.250897842019807, 1e-6);
  EXPECT_NEAR(r.fit.se, 1.8110222352041694, 1e-6);
}

TEST(LogisticFit, MissingGenotypeLeavesTheSampleOut) {
  std::vector<double> genotype = kGenotype;
  genotype[4] = std::numeric_limits<double>::quiet_NaN();
  const MarkerResult with_gap = tested(Model::logistic, kStatus, genotype);
  std::vector<double> y = kStatus, g = kGenotype, c = kCovariate;
  for (auto* v : {&y, &g, &c}) v->erase(v->begin() + 4);
  const MarkerResult without = test_marker(
      model_base(Model::logistic, build_design(phenotype(y), covariates_of({c}))), g);
  EXPECT_EQ(with_gap.samples, 19);
  EXPECT_NEAR(with_gap.fit.beta, without.fit.beta, 1e-9);
  EXPECT_NEAR(with_gap.fit.se, without.fit.se, 1e-9);
}

TEST(LinearFit, WorkedFitAndMissingGenotype) {
  const MarkerResult r = tested(Model::linear, kTrait, kGenotype);
  ASSERT_EQ(r.fit.problem, FitProblem::none);
  EXPECT_NEAR(r.fit.beta, 1.4462665291762706, 1e-9);
  EXPECT_NEAR(r.fit.se, 0.12522060166407387, 1e-9);
  EXPECT_NEAR(r.fit.p, student_two_sided(11.549749082472333, 17), 1e-12);

  std::vector<double> genotype = kGenotype;
  genotype[7] = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> y = kTrait, g = kGenotype, c = kCovariate;
  for (auto* v : {&y, &g, &c}) v->erase(v->begin() + 7);
  const MarkerResult gap = tested(Model::linear, kTrait, genotype);
  const MarkerResult without =
      test_marker(model_base(Model::linear, build_design(phenotype(y), covariates_of({c}))), g);
  EXPECT_EQ(gap.samples, 19);
  EXPECT_NEAR(gap.fit.beta, without.fit.beta, 1e-9);
  EXPECT_NEAR(gap.fit.se, without.fit.se, 1e-9);
  EXPECT_NEAR(gap.fit.p / without.fit.p, 1, 1e-9);
}

TEST(MarkerTests, UntestableMarkersNameTheirReason) {
  EXPECT_EQ(tested(Model::logistic, kStatus, std::vector<double>(20, 1)).fit.problem, FitProblem::monomorphic);
  EXPECT_EQ(tested(Model::linear, kTrait, std::vector<double>(20, 2)).fit.problem, FitProblem::monomorphic);
  std::vector<double> mostly_missing(20, std::numeric_limits<double>::quiet_NaN());
  mostly_missing[0] = 1;
  mostly_missing[1] = 2;
  EXPECT_EQ(tested(Model::logistic, kStatus, mostly_missing).fit.problem, FitProblem::too_few_samples);
  // A genotype that is the covariate again.
  std::vector<double> copy(kCovariate.begin(), kCovariate.end());
  EXPECT_EQ(tested(Model::linear, kTrait, copy).fit.problem, FitProblem::collinear);
}

TEST(Design, RefusesConstantAndCollinearCovariates) {
  std::vector<double> twice(20), constant(20, 3.0);
  for (size_t s = 0; s < 20; ++s) twice[s] = 2 * kCovariate[s] + 1;
  const auto message = [](const std::vector<std::vector<double>>& columns) {
    try {
      build_design(phenotype(kStatus), covariates_of(columns));
    } catch (const FatalError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(message({kCovariate, twice}), "Error: covariate c2 is collinear with c1 over the samples used\n");
  EXPECT_EQ(message({kCovariate, constant}), "Error: covariate c2 is constant over the 20 samples used\n");
  EXPECT_EQ(message({kCovariate, kGenotype}), "accepted");
}

TEST(Distributions, TailsMeetTabulatedValues) {
  EXPECT_NEAR(student_two_sided(2.0, 10), 0.07338803, 1e-7);
  EXPECT_NEAR(student_two_sided(-2.228139, 10), 0.05, 1e-6);
  EXPECT_NEAR(normal_two_sided(1.959964), 0.05, 1e-7);
}

}  // namespace
}  // namespace snp::association
