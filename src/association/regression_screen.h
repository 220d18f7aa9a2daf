// snp-screen --logistic and --linear: every marker of a PLINK fileset or
// VCF tested by regression on the counted allele's dosage, with covariates
// and principal components, into PREFIX.logistic.tsv or PREFIX.linear.tsv.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "association/marker_tests.h"

namespace snp::association {

struct RegressionRequest {
  Model model = Model::logistic;
  bool bed = true;             // --bfile PREFIX, else --vcf FILE
  std::string input;
  bool dosage_field = false;   // --dosage: the VCF's FORMAT/DS
  std::string case_list;       // --cases FILE
  std::string pheno_file;      // --pheno FILE
  std::string pheno_name;      // --pheno-name NAME
  std::string covar_file;      // --covar FILE
  std::vector<std::string> covar_names;  // --covar-name A,B
  int components = 0;          // --pcs N
  int threads = 1;
  std::string prefix;          // --out
};

// Runs the tests and writes the table (and with components the .eigenvec
// and .eigenval); notes, counts and λ go to `notes`. Returns 0; throws
// FatalError.
int run_regression(const RegressionRequest& request, std::ostream& notes);

// The table's file name and header line.
std::string table_path(const RegressionRequest& request);

}  // namespace snp::association
