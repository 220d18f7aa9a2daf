#include "association/marker_tests.h"

#include <cmath>

#include "base/errors.h"

namespace snp::association {
namespace {

bool varies(const Eigen::VectorXd& genotype) {
  return genotype.size() > 0 && genotype.maxCoeff() - genotype.minCoeff() > 1e-9;
}

MarkerResult logistic_test(const ModelBase& base, std::span<const double> dosages) {
  const Design& design = *base.design;
  const Eigen::Index k = design.base.cols();
  std::vector<Eigen::Index> rows;
  rows.reserve(design.samples.size());
  for (size_t i = 0; i < design.samples.size(); ++i)
    if (!std::isnan(dosages[design.samples[i]])) rows.push_back(static_cast<Eigen::Index>(i));
  const auto n = static_cast<Eigen::Index>(rows.size());
  // The model matrix of each thread keeps its memory from marker to marker.
  thread_local Eigen::MatrixXd whole;
  if (whole.rows() != design.base.rows() || whole.cols() != k + 1) whole.resize(design.base.rows(), k + 1);
  auto x = whole.topRows(n);
  Eigen::VectorXd y(n);
  for (Eigen::Index r = 0; r < n; ++r) {
    const Eigen::Index i = rows[static_cast<size_t>(r)];
    x(r, 0) = dosages[design.samples[static_cast<size_t>(i)]];
    x.row(r).tail(k) = design.base.row(i);
    y(r) = design.phenotype(i);
  }
  MarkerResult result;
  result.samples = n;
  result.frequency = n > 0 ? x.col(0).sum() / (2.0 * static_cast<double>(n)) : 0;
  const double cases = y.sum();
  if (n <= k + 1 || cases < 1 || cases > static_cast<double>(n) - 1) result.fit.problem = FitProblem::too_few_samples;
  else if (!varies(x.col(0))) result.fit.problem = FitProblem::monomorphic;
  else result.fit = fit_logistic_marker(x, y, base.null_coefficients);
  return result;
}

MarkerResult linear_test(const ModelBase& base, std::span<const double> dosages) {
  const Design& design = *base.design;
  const auto n = static_cast<Eigen::Index>(design.samples.size());
  Eigen::VectorXd genotype(n);
  LinearBase sums = base.sums;
  double lowest = INFINITY, highest = -INFINITY;
  for (Eigen::Index i = 0; i < n; ++i) {
    const double d = dosages[design.samples[static_cast<size_t>(i)]];
    if (std::isnan(d)) {
      // Without a genotype the sample leaves the sums too.
      genotype(i) = 0;
      sums.btb.noalias() -= design.base.row(i).transpose() * design.base.row(i);
      sums.bty -= design.base.row(i).transpose() * design.phenotype(i);
      sums.yty -= design.phenotype(i) * design.phenotype(i);
      --sums.samples;
      continue;
    }
    genotype(i) = d;
    lowest = std::min(lowest, d);
    highest = std::max(highest, d);
  }
  MarkerResult result;
  result.samples = sums.samples;
  result.frequency = sums.samples > 0 ? genotype.sum() / (2.0 * static_cast<double>(sums.samples)) : 0;
  if (sums.samples <= design.base.cols() + 1) result.fit.problem = FitProblem::too_few_samples;
  else if (!(highest - lowest > 1e-9)) result.fit.problem = FitProblem::monomorphic;
  else result.fit = fit_linear_marker(genotype, design.base, design.phenotype, sums);
  return result;
}

}  // namespace

ModelBase model_base(Model model, const Design& design) {
  ModelBase base;
  base.model = model;
  base.design = &design;
  if (model == Model::linear) {
    base.sums = linear_base(design.base, design.phenotype);
    return base;
  }
  Eigen::VectorXd start = Eigen::VectorXd::Zero(design.base.cols());
  const double mean = design.phenotype.mean();
  start(0) = std::log(mean / (1 - mean));
  const Coefficients null_fit = logistic_irls(design.base, design.phenotype, start);
  if (!null_fit.converged)
    throw FatalError("Error: the model without markers does not converge (do the covariates separate cases and "
                     "controls?)\n",
                     Channel::standard_error);
  base.null_coefficients = null_fit.beta;
  return base;
}

MarkerResult test_marker(const ModelBase& base, std::span<const double> dosages) {
  return base.model == Model::logistic ? logistic_test(base, dosages) : linear_test(base, dosages);
}

}  // namespace snp::association
