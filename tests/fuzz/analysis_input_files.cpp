// The genotype, phenotype and column files of csm-analysis, separated by
// '|' in the input; the first byte chooses the permutation counts.
#include "analysis/search/csm.h"
#include "analysis/run/input_files.h"
#include "harness.h"

using namespace snp;

SNP_FUZZ(input) {
  const int choice = input.byte();
  std::string_view rest = input.text(), parts[3];
  for (int f = 0; f < 2; ++f) {
    const size_t cut = rest.find('|');
    parts[f] = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  }
  parts[2] = rest;
  InputFiles files;
  files.genotypes = fuzz::write_scratch("genotypes.txt", parts[0]);
  files.phenotypes = fuzz::write_scratch("phenotypes.txt", parts[1]);
  files.columns = fuzz::write_scratch("columns.txt", parts[2]);
  const AnalysisInput loaded = load_analysis_input(files, (choice >> 2) % 4);
  CsmParameters parameters;
  parameters.sample_size = static_cast<int>(loaded.genotypes.size());
  parameters.number_of_markers = loaded.columns.empty() ? 0 : static_cast<int>(loaded.columns.front().size());
  parameters.number_of_permutation = choice % 4;
  check_input_shape(loaded, files, parameters, "parameter.txt");
}
