#include "impute/vcf_layout.h"

#include <numeric>
#include <ostream>
#include <unordered_map>

#include "base/errors.h"
#include "base/text_source.h"

namespace snp {

RecordedLayout parse_study_layout(std::string_view text, const std::string& path) {
  RecordedLayout layout;
  TextScanner scanner(text);
  for (long number = 1; !scanner.at_end(); ++number) {
    std::string_view line = scanner.rest_of_line();
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    const size_t tab = line.find('\t');
    const std::string_view key = line.substr(0, tab);
    const std::string_view value = tab == std::string_view::npos ? std::string_view{} : line.substr(tab + 1);
    if (value.empty() || value.find('\t') != std::string_view::npos || (key != "contig" && key != "sample"))
      throw malformed_line(path, number, "expected \"contig\" or \"sample\", a tab and one name");
    if (key == "sample") layout.samples.emplace_back(value);
    else if (layout.contig.empty()) layout.contig = value;
    else throw malformed_line(path, number, "expected one contig line, found a second");
  }
  if (layout.contig.empty()) throw inconsistent_file(path, "expected a contig line, found none");
  return layout;
}

VcfLayout default_vcf_layout(int chromosome, const StudyGenotypes& study) {
  VcfLayout layout{std::to_string(chromosome), std::vector<int>(static_cast<size_t>(study.individuals))};
  std::iota(layout.sample_rows.begin(), layout.sample_rows.end(), 0);
  return layout;
}

VcfLayout vcf_layout(const RecordedLayout& recorded, const std::string& path, int chromosome,
                     const StudyGenotypes& study, std::ostream& warnings) {
  std::unordered_map<std::string, int> row_of;
  for (int r = 0; r < study.individuals; ++r) row_of.emplace(study.ids[static_cast<size_t>(r)], r);
  VcfLayout layout{recorded.contig, {}};
  std::vector<bool> placed(static_cast<size_t>(study.individuals));
  for (const std::string& id : recorded.samples) {
    const auto row = row_of.find(id);
    if (row == row_of.end() || placed[static_cast<size_t>(row->second)]) break;
    placed[static_cast<size_t>(row->second)] = true;
    layout.sample_rows.push_back(row->second);
  }
  if (row_of.size() == static_cast<size_t>(study.individuals) && layout.sample_rows.size() == recorded.samples.size() &&
      recorded.samples.size() == static_cast<size_t>(study.individuals))
    return layout;
  warnings << "Warning: " << path
           << ": its samples are not those of the genotype files; the VCF lists cases, then controls, on contig "
           << chromosome << "\n";
  return default_vcf_layout(chromosome, study);
}

}  // namespace snp
