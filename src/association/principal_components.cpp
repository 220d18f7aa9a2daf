#include "association/principal_components.h"

#include <Spectra/MatOp/DenseSymMatProd.h>
#include <Spectra/SymEigsSolver.h>

#include <cmath>
#include <cstdio>
#include <deque>

#include "base/errors.h"
#include "base/output_file.h"
#include "base/parallel.h"

namespace snp::association {
namespace {

constexpr double kMinimumFrequency = 0.01;
constexpr double kMaximumR2 = 0.2;
constexpr size_t kWindowMarkers = 20;
constexpr long kWindowBases = 500000;
constexpr size_t kBlockMarkers = 512;

// A marker's standardized genotypes, or an empty vector when it is too rare.
Eigen::VectorXd standardized(std::span<const double> dosages) {
  double sum = 0;
  long called = 0;
  for (const double d : dosages)
    if (!std::isnan(d)) {
      sum += d;
      ++called;
    }
  if (called == 0) return {};
  const double frequency = sum / (2.0 * static_cast<double>(called));
  if (std::min(frequency, 1 - frequency) < kMinimumFrequency) return {};
  const double scale = 1 / std::sqrt(2 * frequency * (1 - frequency));
  Eigen::VectorXd out(static_cast<Eigen::Index>(dosages.size()));
  for (size_t s = 0; s < dosages.size(); ++s)
    out(static_cast<Eigen::Index>(s)) = std::isnan(dosages[s]) ? 0 : (dosages[s] - 2 * frequency) * scale;
  return out;
}

// Lower-triangle slabs of the relationship matrix of about equal area: each
// slab's rows against all columns up to its last row. The slabs are fixed
// whatever the threads, so the sums do not depend on them.
constexpr int kSlabs = 8;

std::vector<Eigen::Index> slab_bounds(Eigen::Index samples) {
  std::vector<Eigen::Index> bounds;
  for (int i = 0; i <= kSlabs; ++i)
    bounds.push_back(static_cast<Eigen::Index>(std::lround(static_cast<double>(samples) * std::sqrt(double(i) / kSlabs))));
  return bounds;
}

// Adds the markers' cross-products to the lower triangle, slab by slab.
void add_cross_products(Eigen::MatrixXd& relationship, const Eigen::Ref<const Eigen::MatrixXd>& markers,
                        const std::vector<Eigen::Index>& bounds, int threads) {
  parallel_for(kSlabs, threads, [&](int slab, int) {
    const Eigen::Index first = bounds[slab], end = bounds[slab + 1];
    if (end == first) return;
    relationship.block(first, 0, end - first, end).noalias() +=
        markers.middleRows(first, end - first) * markers.topRows(end).transpose();
  });
}

struct KeptMarker {
  std::string chromosome;
  long position;
  Eigen::VectorXd values;
};

// Whether `values` is in linkage with a recent kept marker.
bool linked(const std::deque<KeptMarker>& window, const genotypes::Marker& marker, const Eigen::VectorXd& values) {
  const double own = values.squaredNorm();
  for (const KeptMarker& kept : window) {
    if (kept.chromosome != marker.chromosome || marker.position - kept.position > kWindowBases) continue;
    const double product = kept.values.dot(values);
    if (product * product > kMaximumR2 * own * kept.values.squaredNorm()) return true;
  }
  return false;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

Components principal_components(DosageSource& source, int count, int threads) {
  const auto samples = static_cast<Eigen::Index>(source.samples().size());
  if (samples < count + 2)
    throw FatalError("Error: " + source.path() + ": " + std::to_string(samples) + " samples are too few for " +
                         std::to_string(count) + " principal components\n",
                     Channel::standard_error);
  Eigen::MatrixXd relationship = Eigen::MatrixXd::Zero(samples, samples);
  Eigen::MatrixXd pending(samples, static_cast<Eigen::Index>(kBlockMarkers));
  Eigen::Index filled = 0;
  std::deque<KeptMarker> window;
  Components components;
  const std::vector<Eigen::Index> bounds = slab_bounds(samples);
  const auto flush = [&] {
    add_cross_products(relationship, pending.leftCols(filled), bounds, threads);
    filled = 0;
  };
  DosageBlock block;
  while (source.read(block, 4096)) {
    for (size_t m = 0; m < block.size(); ++m) {
      Eigen::VectorXd values = standardized(block.of(m));
      if (values.size() == 0 || linked(window, block.markers[m], values)) continue;
      pending.col(filled++) = values;
      ++components.markers;
      if (filled == pending.cols()) flush();
      window.push_back(KeptMarker{block.markers[m].chromosome, block.markers[m].position, std::move(values)});
      if (window.size() > kWindowMarkers) window.pop_front();
    }
  }
  flush();
  if (components.markers <= count)
    throw FatalError("Error: " + source.path() + ": " + std::to_string(components.markers) +
                         " markers pass the frequency and linkage rules, too few for " + std::to_string(count) +
                         " principal components\n",
                     Channel::standard_error);
  for (Eigen::Index j = 0; j + 1 < samples; ++j)  // the upper triangle from the lower
    relationship.row(j).tail(samples - j - 1) = relationship.col(j).tail(samples - j - 1).transpose();
  relationship /= static_cast<double>(components.markers);
  Spectra::DenseSymMatProd<double> product(relationship);
  const Eigen::Index subspace = std::min<Eigen::Index>(samples, std::max<Eigen::Index>(2 * count + 1, 20));
  Spectra::SymEigsSolver<Spectra::DenseSymMatProd<double>> solver(product, count, subspace);
  solver.init();
  solver.compute(Spectra::SortRule::LargestAlge, 1000, 1e-12);
  if (solver.info() != Spectra::CompInfo::Successful)
    throw FatalError("Error: the principal components did not converge\n", Channel::standard_error);
  components.eigenvalues = solver.eigenvalues();
  components.vectors = solver.eigenvectors();
  // A sign fixed by the data: each component's largest entry positive.
  for (Eigen::Index c = 0; c < components.vectors.cols(); ++c) {
    Eigen::Index largest = 0;
    components.vectors.col(c).cwiseAbs().maxCoeff(&largest);
    if (components.vectors(largest, c) < 0) components.vectors.col(c) *= -1;
  }
  return components;
}

Covariates as_covariates(const Components& components) {
  Covariates covariates;
  const Eigen::Index columns = components.vectors.cols();
  for (Eigen::Index c = 0; c < columns; ++c) covariates.names.push_back("PC" + std::to_string(c + 1));
  covariates.values.reserve(static_cast<size_t>(components.vectors.size()));
  for (Eigen::Index s = 0; s < components.vectors.rows(); ++s)
    for (Eigen::Index c = 0; c < columns; ++c) covariates.values.push_back(components.vectors(s, c));
  return covariates;
}

void write_components(const std::string& prefix, const std::vector<genotypes::Sample>& samples,
                      const Components& components) {
  write_file_atomically(prefix + ".eigenvec", [&](std::ostream& out) {
    out << "FID\tIID";
    for (Eigen::Index c = 0; c < components.vectors.cols(); ++c) out << "\tPC" << c + 1;
    out << '\n';
    for (size_t s = 0; s < samples.size(); ++s) {
      out << samples[s].family << '\t' << samples[s].id;
      for (Eigen::Index c = 0; c < components.vectors.cols(); ++c)
        out << '\t' << number(components.vectors(static_cast<Eigen::Index>(s), c));
      out << '\n';
    }
  });
  write_file_atomically(prefix + ".eigenval", [&](std::ostream& out) {
    for (const double value : components.eigenvalues) out << number(value) << '\n';
  });
}

}  // namespace snp::association
