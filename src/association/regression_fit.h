// Per-marker regression fits: logistic by iteratively reweighted least
// squares with Firth's penalized likelihood as the fall-back, and linear by
// least squares. The marker's column is the first of the model matrix.
#pragma once

#include <Eigen/Dense>

namespace snp::association {

// Why a marker has no estimate.
enum class FitProblem { none, monomorphic, too_few_samples, collinear, not_converged };

struct MarkerFit {
  FitProblem problem = FitProblem::none;
  double beta = 0;       // log odds ratio or slope of the marker
  double se = 0;         // its standard error
  double statistic = 0;  // beta / se
  double p = 1;
  bool firth = false;
};

// A model matrix, or the top rows of a larger one.
using Matrix = const Eigen::Ref<const Eigen::MatrixXd>&;

struct Coefficients {
  Eigen::VectorXd beta;
  Eigen::MatrixXd information;  // X'WX of the last iteration
  bool converged = false;
};

inline constexpr int kMaxIterations = 25;

// Logistic fit of y (0/1) on x from `start`; not converged when the
// iterations run out, the information matrix is singular or a fitted
// probability reaches 0 or 1 (separation).
Coefficients logistic_irls(Matrix x, const Eigen::VectorXd& y, Eigen::VectorXd start);

// Firth's penalized-likelihood logistic fit.
Coefficients firth_fit(Matrix x, const Eigen::VectorXd& y, Eigen::VectorXd start);

// The marker's Wald test after logistic_irls, with firth_fit where that
// did not converge. `start` holds the null model's coefficients of the
// columns after the marker's.
MarkerFit fit_logistic_marker(Matrix x, const Eigen::VectorXd& y, const Eigen::VectorXd& start);

// Sums of the least-squares fit that do not depend on the marker, over a
// set of samples.
struct LinearBase {
  Eigen::MatrixXd btb;  // B'B
  Eigen::VectorXd bty;  // B'y
  double yty = 0;
  long samples = 0;
};

LinearBase linear_base(const Eigen::MatrixXd& base, const Eigen::VectorXd& y);

// The marker's t test: `genotype`, `base` and `y` over all samples of the
// design, `genotype` 0 where missing, `sums` over the samples with a
// genotype only.
MarkerFit fit_linear_marker(const Eigen::VectorXd& genotype, const Eigen::MatrixXd& base, const Eigen::VectorXd& y,
                            const LinearBase& sums);

}  // namespace snp::association
