#include "convert/phenotype_cases.h"

#include "base/errors.h"
#include "genotypes/phenotypes.h"

namespace snp::convert {

std::vector<std::string> cases_from_phenotype_file(const std::vector<std::string>& samples, const std::string& path,
                                                   const std::string& column, std::ostream& err) {
  std::vector<genotypes::Sample> named;
  for (const std::string& id : samples) named.push_back({id, id, 0, ""});
  const genotypes::Phenotypes phenotypes = genotypes::phenotypes_from_file(named, path, {column});
  if (phenotypes.kind != genotypes::PhenotypeKind::case_control)
    throw inconsistent_file(path, "the phenotype is quantitative; the study needs case/control status (2/1 or 1/0)");
  for (const std::string& note : phenotypes.notes) err << note << "\n";
  std::vector<std::string> cases;
  for (size_t s = 0; s < samples.size(); ++s)
    if (phenotypes.values[s] == 1.0) cases.push_back(samples[s]);
  return cases;
}

}  // namespace snp::convert
