#include "analysis/inputs/study_input.h"

#include <climits>
#include <cmath>
#include <ostream>
#include <sstream>
#include <unordered_map>

#include "base/errors.h"

namespace snp {

StudyInput study_input(const genotypes::GenotypeTable& table, const genotypes::Phenotypes& phenotypes,
                       const std::vector<std::string>& selected, const std::string& source,
                       const std::string& phenotype_source) {
  const genotypes::MarkerBlock& block = table.block;
  if (!table.not_found.empty()) {
    std::string names;
    for (size_t i = 0; i < table.not_found.size() && i < 5; ++i) names += (i ? ", " : "") + table.not_found[i];
    if (table.not_found.size() > 5) names += ", ...";
    throw inconsistent_file(source, std::to_string(table.not_found.size()) + " selected marker(s) not found: " + names);
  }
  std::unordered_map<std::string, size_t> by_name;
  for (size_t m = 0; m < block.size(); ++m) by_name.emplace(block.markers[m].name, m);

  StudyInput study;
  std::vector<size_t> rows;  // block row of each analysis marker
  for (const std::string& name : selected) {
    const auto found = by_name.find(name);
    if (found == by_name.end()) throw inconsistent_file(source, "selected marker " + name + " not found");
    rows.push_back(found->second);
    const genotypes::Marker& marker = block.markers[found->second];
    study.labels.push_back({marker.name, marker.chromosome, marker.position, marker.counted, marker.other});
  }
  std::vector<short> phenotype;
  for (size_t s = 0; s < phenotypes.values.size() && s < block.samples; ++s) {
    const auto& value = phenotypes.values[s];
    if (!value) continue;
    if (*value != std::trunc(*value) || *value < SHRT_MIN || *value > SHRT_MAX) {
      std::ostringstream what;
      what << "the phenotype of sample " << table.samples.at(s).id << " is " << *value
           << "; the analysis takes whole numbers from -32768 to 32767";
      throw inconsistent_file(phenotype_source, what.str());
    }
    phenotype.push_back(static_cast<short>(*value));
    std::vector<std::int8_t> codes;
    codes.reserve(rows.size());
    for (const size_t row : rows) codes.push_back(block.codes_of(row)[s]);
    study.input.genotypes.push_back(std::move(codes));
  }
  if (phenotype.empty()) throw inconsistent_file(phenotype_source, "no sample has a phenotype");
  study.input.phenotypes.push_back(std::move(phenotype));
  std::vector<int> columns;
  for (size_t j = 0; j < rows.size(); ++j) columns.push_back(static_cast<int>(j));
  study.input.columns.push_back(std::move(columns));
  return study;
}

void report_phenotype_notes(const genotypes::Phenotypes& phenotypes, std::ostream& warnings) {
  if (phenotypes.excluded > 0)
    warnings << "Note: " << phenotypes.excluded << " sample(s) without a phenotype left out of the analysis\n";
  if (phenotypes.unmatched_ids > 0)
    warnings << "Note: " << phenotypes.unmatched_ids << " ID(s) of the phenotypes name no sample\n";
}

}  // namespace snp
