// Principal components of the study's genotypes, for use as covariates.
//
// Markers: those with a minor allele frequency of at least 1% over the
// samples with a call, thinned for linkage: a marker is left out when its
// r^2 with one of the last 20 markers kept on its chromosome within 500 kb
// exceeds 0.2. Each marker is standardized, (x - 2p) / sqrt(2p(1-p)) with
// a missing call at 0; the components are the top eigenvectors of the
// samples' relationship matrix, the standardized genotypes' cross-products
// over the number of markers, and their eigenvalues.
#pragma once

#include <Eigen/Dense>
#include <string>
#include <vector>

#include "association/covariates.h"
#include "association/dosages.h"

namespace snp::association {

struct Components {
  Eigen::VectorXd eigenvalues;  // largest first
  Eigen::MatrixXd vectors;      // samples x components, unit length
  long markers = 0;             // markers that entered the relationship matrix
};

// Reads the rest of `source`; the relationship matrix is summed on up to
// `threads` threads (the result does not depend on them). Throws FatalError
// when fewer markers pass than components are asked for, or the samples are
// too few.
Components principal_components(DosageSource& source, int count, int threads = 1);

// The components as covariates PC1..PCN.
Covariates as_covariates(const Components& components);

// PREFIX.eigenvec (header FID IID PC1..PCN, one line per sample) and
// PREFIX.eigenval (one value a line), numbers as %g.
void write_components(const std::string& prefix, const std::vector<genotypes::Sample>& samples,
                      const Components& components);

}  // namespace snp::association
