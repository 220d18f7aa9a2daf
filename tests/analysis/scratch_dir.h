// Helpers of the analysis tests: a scratch work directory, a context whose
// console is captured, and what a search shares with its analysis.
#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/run/context.h"
#include "analysis/search/csm.h"
#include "test_support.h"

namespace snp::test {

// A fresh work directory, removed with its contents at the end of the test.
class ScratchDir : public TempDir {
 public:
  bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }
  WorkFiles files() const { return {path(), "host-"}; }
};

// A context working in `dir`, with console and warnings captured.
struct CapturedContext {
  explicit CapturedContext(const ScratchDir& dir) {
    ctx.console = &console;
    ctx.warnings = &warnings;
    ctx.work_directory = dir.path();
    ctx.hostname = "host-";
  }
  std::ostringstream console;
  std::ostringstream warnings;
  AnalysisContext ctx;
};

// A search of `parameters` writing "host-output_X_Y.txt" in `dir`, with
// its console captured.
struct SearchFixture {
  SearchFixture(const ScratchDir& dir, CsmParameters parameters)
      : csm(std::move(parameters), {console, generator, shown, dir.files().host_path("output_X_Y.txt")}) {}
  std::ostringstream console;
  Rand1State generator;
  OnceNotes shown;
  CSM csm;
};

// Data set 0 of `genotypes` (one row per individual, one code per marker)
// and `phenotype`, with marker j read from genotype column j - 1.
inline AnalysisInput one_data_set(const std::vector<std::vector<int>>& genotypes, const std::vector<int>& phenotype) {
  AnalysisInput input;
  for (const auto& row : genotypes) input.genotypes.emplace_back(row.begin(), row.end());
  input.phenotypes.emplace_back(phenotype.begin(), phenotype.end());
  std::vector<int> columns;
  for (size_t j = 0; j < (genotypes.empty() ? 0 : genotypes.front().size()); ++j) columns.push_back(static_cast<int>(j));
  input.columns.push_back(columns);
  return input;
}

}  // namespace snp::test
