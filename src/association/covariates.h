// Covariates per sample from a table with a header: FID IID c1 c2 ... or
// IID c1 ..., matched to the genotype input's samples by IID (and FID where
// the table has one).
#pragma once

#include <string>
#include <vector>

#include "genotypes/genotypes.h"

namespace snp::association {

struct Covariates {
  std::vector<std::string> names;
  // samples x names.size(), row by row; NaN where missing (NA in the file,
  // or a sample the file does not name).
  std::vector<double> values;
  long unmatched_ids = 0;  // lines naming no sample of the genotype input

  size_t columns() const { return names.size(); }
  double at(size_t sample, size_t column) const { return values[sample * names.size() + column]; }
};

// Reads the covariate table; `chosen` names the columns to keep (all others
// than the IDs when empty). Values are numbers or NA; a value of any other
// kind is an error naming the column (categorical covariates must be coded
// as 0/1 indicators by the user). Throws InputError naming the file and
// line.
Covariates read_covariates(const std::vector<genotypes::Sample>& samples, const std::string& path,
                           const std::vector<std::string>& chosen = {});

// "a,b,c" as its names; throws nothing, empty names dropped.
std::vector<std::string> split_names(const std::string& list);

}  // namespace snp::association
