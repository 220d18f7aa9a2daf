// One marker's regression test over the design's samples with a genotype.
#pragma once

#include <span>

#include "association/design.h"
#include "association/regression_fit.h"

namespace snp::association {

enum class Model { logistic, linear };

// What the per-marker tests share: the design, and the null model's
// coefficients (logistic) or the covariates' sums (linear).
struct ModelBase {
  Model model = Model::logistic;
  const Design* design = nullptr;
  Eigen::VectorXd null_coefficients;
  LinearBase sums;
};

// The null model: its coefficients (logistic) or sums (linear). Throws
// FatalError when the null logistic fit does not converge.
ModelBase model_base(Model model, const Design& design);

struct MarkerResult {
  MarkerFit fit;
  long samples = 0;       // with a genotype
  double frequency = 0;   // of the counted allele among them
};

// `dosages` holds one value per sample of the genotype input (NaN missing).
MarkerResult test_marker(const ModelBase& base, std::span<const double> dosages);

}  // namespace snp::association
