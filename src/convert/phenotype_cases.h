// The cases of a study given as a phenotype file (as snp-screen and
// csm-analysis read it with --pheno) rather than as a list of case IDs.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace snp::convert {

// The IDs of the samples that the phenotype file's case/control column
// (`column`, or its first value column) makes cases, in sample order. The
// reader's notes go to `err`. Throws InputError when the file cannot be
// read, is malformed or holds a quantitative phenotype.
std::vector<std::string> cases_from_phenotype_file(const std::vector<std::string>& samples, const std::string& path,
                                                   const std::string& column, std::ostream& err);

}  // namespace snp::convert
