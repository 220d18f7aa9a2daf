#include "association/design.h"

#include <cmath>

#include "base/errors.h"

namespace snp::association {
namespace {

[[noreturn]] void refuse(const std::string& what) { throw FatalError("Error: " + what + "\n", Channel::standard_error); }

// Refuses a constant column, and a column that earlier columns (the
// intercept among them) reproduce, naming those that it is a combination of.
void check_columns(const Eigen::MatrixXd& base, const std::vector<std::string>& names) {
  for (Eigen::Index j = 1; j < base.cols(); ++j) {
    const Eigen::VectorXd column = base.col(j);
    const Eigen::VectorXd centred = column.array() - column.mean();
    if (centred.norm() <= 1e-12 * (1 + column.norm()))
      refuse("covariate " + names[j] + " is constant over the " + std::to_string(base.rows()) + " samples used");
    const Eigen::MatrixXd earlier = base.leftCols(j);
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(earlier);
    const Eigen::VectorXd coefficients = qr.solve(column);
    if ((earlier * coefficients - column).norm() > 1e-9 * centred.norm()) continue;
    std::string partners;
    for (Eigen::Index e = 1; e < j; ++e)
      if (std::abs(coefficients(e)) * earlier.col(e).norm() > 1e-9 * column.norm())
        partners += (partners.empty() ? "" : ", ") + names[e];
    refuse("covariate " + names[j] + " is collinear with " + (partners.empty() ? "the intercept" : partners) +
           " over the samples used");
  }
}

}  // namespace

Covariates joined(Covariates first, const Covariates& second) {
  if (first.names.empty()) return second;
  if (second.names.empty()) return first;
  const size_t samples = first.values.size() / first.columns();
  Covariates out;
  out.names = first.names;
  out.names.insert(out.names.end(), second.names.begin(), second.names.end());
  out.unmatched_ids = first.unmatched_ids;
  out.values.reserve(samples * out.columns());
  for (size_t s = 0; s < samples; ++s) {
    for (size_t c = 0; c < first.columns(); ++c) out.values.push_back(first.at(s, c));
    for (size_t c = 0; c < second.columns(); ++c) out.values.push_back(second.at(s, c));
  }
  return out;
}

Design build_design(const std::vector<std::optional<double>>& phenotype, const Covariates& covariates) {
  Design design;
  const size_t columns = covariates.columns();
  for (size_t s = 0; s < phenotype.size(); ++s) {
    if (!phenotype[s]) {
      ++design.without_phenotype;
      continue;
    }
    bool complete = true;
    for (size_t c = 0; c < columns && complete; ++c) complete = !std::isnan(covariates.at(s, c));
    if (complete) design.samples.push_back(s);
    else ++design.without_covariates;
  }
  const auto n = static_cast<Eigen::Index>(design.samples.size());
  design.phenotype.resize(n);
  design.base.resize(n, static_cast<Eigen::Index>(columns + 1));
  design.names.push_back("intercept");
  design.names.insert(design.names.end(), covariates.names.begin(), covariates.names.end());
  for (Eigen::Index i = 0; i < n; ++i) {
    const size_t s = design.samples[static_cast<size_t>(i)];
    design.phenotype(i) = *phenotype[s];
    design.base(i, 0) = 1;
    for (size_t c = 0; c < columns; ++c) design.base(i, static_cast<Eigen::Index>(c + 1)) = covariates.at(s, c);
  }
  if (n > 0) check_columns(design.base, design.names);
  return design;
}

}  // namespace snp::association
