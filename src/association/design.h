// The part of every per-marker model that does not depend on the marker:
// the samples that take part, their phenotype and the intercept, covariate
// and component columns.
#pragma once

#include <Eigen/Dense>
#include <optional>
#include <string>
#include <vector>

#include "association/covariates.h"

namespace snp::association {

struct Design {
  std::vector<size_t> samples;  // positions in the genotype input, ascending
  Eigen::VectorXd phenotype;    // one per sample used
  Eigen::MatrixXd base;         // intercept, then the covariates, one row per sample used
  std::vector<std::string> names;  // of base's columns ("intercept" first)
  long without_phenotype = 0;
  long without_covariates = 0;  // samples with a phenotype but a missing covariate
};

// Samples with a phenotype and every covariate. Throws FatalError when a
// covariate is constant over those samples or a linear combination of the
// intercept and earlier covariates, naming the columns.
Design build_design(const std::vector<std::optional<double>>& phenotype, const Covariates& covariates);

// Covariates followed by more columns of the same samples.
Covariates joined(Covariates first, const Covariates& second);

}  // namespace snp::association
