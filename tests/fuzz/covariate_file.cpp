// snp-screen's covariate table (--covar): the reader over the bytes as a
// file, for a few samples with and without families, with all columns or
// with named ones, and the design built from what it read.
// Bytes: the sample count, whether samples have families, the column choice.
#include <cmath>
#include <vector>

#include "association/covariates.h"
#include "association/design.h"
#include "harness.h"

using namespace snp::association;

SNP_FUZZ(input) {
  const int samples = 1 + input.byte() % 8;
  const bool families = input.byte() % 2 == 1;
  const int choice = input.byte() % 3;
  std::vector<snp::genotypes::Sample> people;
  for (int s = 0; s < samples; ++s) {
    const std::string id = "s" + std::to_string(s);
    people.push_back({families ? "f" + std::to_string(s % 2) : id, id, 0, ""});
  }
  const std::vector<std::string> chosen = choice == 0 ? std::vector<std::string>{}
                                          : choice == 1 ? split_names("a,b")
                                                        : split_names(",c,,a");
  const std::string path = input.file("covar.txt");
  const Covariates covariates = read_covariates(people, path, chosen);
  if (covariates.values.size() != people.size() * covariates.columns()) __builtin_trap();
  std::vector<std::optional<double>> phenotype;
  for (int s = 0; s < samples; ++s) phenotype.emplace_back(s % 2);
  const Design design = build_design(phenotype, covariates);
  if (design.base.cols() != static_cast<long>(covariates.columns() + 1)) __builtin_trap();
}
