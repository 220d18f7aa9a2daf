#include "association/regression_fit.h"

#include <cmath>

#include "association/distributions.h"

namespace snp::association {
namespace {

// Newton's steps converge quadratically: a step below 1e-6 leaves an error
// far below it. Firth's steps leave out the penalty's curvature and
// converge slower, so they must get smaller.
constexpr double kTolerance = 1e-6;
constexpr double kFirthTolerance = 1e-9;
// Fitted probabilities nearer than this to 0 or 1 mean separation.
constexpr double kSeparated = 1e-12;

Eigen::VectorXd fitted(Matrix x, const Eigen::VectorXd& beta) {
  return ((-(x * beta).array()).exp() + 1).inverse().matrix();
}

double log_likelihood(const Eigen::VectorXd& y, const Eigen::VectorXd& p) {
  double sum = 0;
  for (Eigen::Index i = 0; i < y.size(); ++i) sum += y(i) > 0.5 ? std::log(p(i)) : std::log1p(-p(i));
  return sum;
}

// X'WX as weighted products of column pairs: no temporary of the size of X.
Eigen::MatrixXd information(Matrix x, const Eigen::VectorXd& w) {
  Eigen::MatrixXd info(x.cols(), x.cols());
  for (Eigen::Index a = 0; a < x.cols(); ++a) {
    const Eigen::VectorXd weighted = x.col(a).cwiseProduct(w);
    for (Eigen::Index b = 0; b <= a; ++b) info(a, b) = info(b, a) = weighted.dot(x.col(b));
  }
  return info;
}

bool separated(const Eigen::VectorXd& p) {
  return (p.array() < kSeparated).any() || (p.array() > 1 - kSeparated).any();
}

bool small_step(const Eigen::VectorXd& delta, const Eigen::VectorXd& beta, double tolerance = kTolerance) {
  return (delta.array().abs() <= tolerance * (1 + beta.array().abs())).all();
}

// Penalized log-likelihood of Firth's fit: log L + log det(I) / 2.
double penalized(Matrix x, const Eigen::VectorXd& y, const Eigen::VectorXd& beta, bool& ok) {
  const Eigen::VectorXd p = fitted(x, beta);
  const Eigen::LLT<Eigen::MatrixXd> llt(information(x, p.cwiseProduct((1 - p.array()).matrix())));
  ok = llt.info() == Eigen::Success;
  if (!ok) return 0;
  return log_likelihood(y, p) + llt.matrixLLT().diagonal().array().log().sum();
}

MarkerFit wald(double beta, double se) {
  MarkerFit fit;
  if (!std::isfinite(beta) || !std::isfinite(se) || se <= 0) {
    fit.problem = FitProblem::not_converged;
    return fit;
  }
  fit.beta = beta;
  fit.se = se;
  fit.statistic = beta / se;
  fit.p = normal_two_sided(fit.statistic);
  return fit;
}

// The marker's estimate and standard error from the information matrix of
// the last iteration (the step from there was below the tolerance).
MarkerFit logistic_wald(const Coefficients& fit) {
  const Eigen::LDLT<Eigen::MatrixXd> ldlt(fit.information);
  Eigen::VectorXd unit = Eigen::VectorXd::Zero(fit.beta.size());
  unit(0) = 1;
  return wald(fit.beta(0), std::sqrt(ldlt.solve(unit)(0)));
}

}  // namespace

Coefficients logistic_irls(Matrix x, const Eigen::VectorXd& y, Eigen::VectorXd beta) {
  Coefficients result;
  Eigen::VectorXd p = fitted(x, beta);
  double last = log_likelihood(y, p);
  for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
    if (separated(p)) break;
    result.information = information(x, p.cwiseProduct((1 - p.array()).matrix()));
    const Eigen::LLT<Eigen::MatrixXd> llt(result.information);
    if (llt.info() != Eigen::Success) break;
    Eigen::VectorXd delta = llt.solve(x.transpose() * (y - p));
    if (!delta.allFinite()) break;
    // Halve the step while it lowers the likelihood.
    Eigen::VectorXd next = fitted(x, beta + delta);
    double now = log_likelihood(y, next);
    for (int halving = 0; halving < 10 && !(now >= last - 1e-12); ++halving) {
      delta /= 2;
      next = fitted(x, beta + delta);
      now = log_likelihood(y, next);
    }
    beta += delta;
    p.swap(next);
    last = now;
    if (small_step(delta, beta)) {
      result.converged = !separated(p);
      break;
    }
  }
  result.beta = std::move(beta);
  return result;
}

Coefficients firth_fit(Matrix x, const Eigen::VectorXd& y, Eigen::VectorXd beta) {
  Coefficients result;
  bool ok = true;
  double last = penalized(x, y, beta, ok);
  if (!ok) return result;
  for (int iteration = 0; iteration < 4 * kMaxIterations; ++iteration) {
    const Eigen::VectorXd p = fitted(x, beta);
    const Eigen::VectorXd w = p.cwiseProduct((1 - p.array()).matrix());
    result.information = information(x, w);
    const Eigen::LLT<Eigen::MatrixXd> llt(result.information);
    if (llt.info() != Eigen::Success) break;
    // Leverages h_i = w_i x_i' I^-1 x_i.
    const Eigen::MatrixXd half = llt.matrixL().solve((w.cwiseSqrt().asDiagonal() * x).transpose());
    const Eigen::VectorXd h = half.colwise().squaredNorm().transpose();
    const Eigen::VectorXd score = x.transpose() * (y - p + h.cwiseProduct((0.5 - p.array()).matrix()));
    Eigen::VectorXd delta = llt.solve(score);
    if (!delta.allFinite()) break;
    // Steps of at most 5 in any coefficient, halved while they lower the
    // penalized likelihood.
    const double largest = delta.cwiseAbs().maxCoeff();
    if (largest > 5) delta *= 5 / largest;
    double now = penalized(x, y, beta + delta, ok);
    for (int halving = 0; halving < 15 && (!ok || !(now >= last - 1e-12)); ++halving) {
      delta /= 2;
      now = penalized(x, y, beta + delta, ok);
    }
    if (!ok) break;
    beta += delta;
    last = now;
    if (small_step(delta, beta, kFirthTolerance)) {
      result.converged = true;
      break;
    }
  }
  result.beta = std::move(beta);
  return result;
}

MarkerFit fit_logistic_marker(Matrix x, const Eigen::VectorXd& y, const Eigen::VectorXd& start) {
  Eigen::VectorXd beta(x.cols());
  beta(0) = 0;
  beta.tail(x.cols() - 1) = start;
  const Coefficients plain = logistic_irls(x, y, beta);
  if (plain.converged) {
    MarkerFit fit = logistic_wald(plain);
    if (fit.problem == FitProblem::none) return fit;
  }
  const Coefficients firth = firth_fit(x, y, beta);
  MarkerFit fit;
  fit.problem = FitProblem::not_converged;
  if (firth.converged) fit = logistic_wald(firth);
  fit.firth = true;
  return fit;
}

LinearBase linear_base(const Eigen::MatrixXd& base, const Eigen::VectorXd& y) {
  LinearBase sums;
  sums.btb = base.transpose() * base;
  sums.bty = base.transpose() * y;
  sums.yty = y.squaredNorm();
  sums.samples = base.rows();
  return sums;
}

MarkerFit fit_linear_marker(const Eigen::VectorXd& genotype, const Eigen::MatrixXd& base, const Eigen::VectorXd& y,
                            const LinearBase& sums) {
  MarkerFit fit;
  const Eigen::Index k = base.cols();
  const double df = static_cast<double>(sums.samples - k - 1);
  if (df < 1) {
    fit.problem = FitProblem::too_few_samples;
    return fit;
  }
  Eigen::MatrixXd xtx(k + 1, k + 1);
  Eigen::VectorXd xty(k + 1);
  xtx(0, 0) = genotype.squaredNorm();
  xtx.block(1, 0, k, 1) = base.transpose() * genotype;
  xtx.block(0, 1, 1, k) = xtx.block(1, 0, k, 1).transpose();
  xtx.block(1, 1, k, k) = sums.btb;
  xty(0) = genotype.dot(y);
  xty.tail(k) = sums.bty;
  // The marker's variance left after the covariates (Schur complement).
  const Eigen::LDLT<Eigen::MatrixXd> covariate_part(sums.btb);
  const Eigen::VectorXd cross = xtx.block(1, 0, k, 1);
  const double residual = xtx(0, 0) - cross.dot(covariate_part.solve(cross));
  const double centred = xtx(0, 0) - genotype.sum() * genotype.sum() / static_cast<double>(sums.samples);
  if (!(residual > 1e-8 * centred)) {
    fit.problem = FitProblem::collinear;
    return fit;
  }
  const Eigen::LDLT<Eigen::MatrixXd> ldlt(xtx);
  const Eigen::VectorXd beta = ldlt.solve(xty);
  const double rss = sums.yty - beta.dot(xty);
  const double se = std::sqrt(std::max(rss, 0.0) / df / residual);
  fit = wald(beta(0), se);
  if (fit.problem == FitProblem::none) fit.p = student_two_sided(fit.statistic, df);
  return fit;
}

}  // namespace snp::association
