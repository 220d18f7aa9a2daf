// Helpers of the analysis tests: a scratch work directory, a context whose
// console is captured, and what a search shares with its analysis.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/context.h"
#include "analysis/csm.h"

namespace snp::test {

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh directory, removed with its contents at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "snp-analysis-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch directory");
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& content) const {
    std::ofstream(file(name), std::ios::binary) << content;
  }
  std::string read(const std::string& name) const { return read_file(file(name)); }
  bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }
  WorkFiles files() const { return {path_, "host-"}; }

 private:
  std::string path_;
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
