#include "scratch_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace snp::test {

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "snp-analysis-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch directory");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDir::write(const std::string& name, const std::string& content) const {
  std::ofstream out(file(name), std::ios::binary);
  out << content;
}

std::string ScratchDir::read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ScratchDir::exists(const std::string& name) const { return std::filesystem::exists(file(name)); }

CapturedContext::CapturedContext(const ScratchDir& dir) {
  ctx.console = &console;
  ctx.warnings = &warnings;
  ctx.work_directory = dir.path();
  ctx.hostname = "host-";
}

AnalysisInput one_data_set(const std::vector<std::vector<int>>& genotypes, const std::vector<int>& phenotype) {
  AnalysisInput input;
  for (const auto& row : genotypes) input.genotypes.emplace_back(row.begin(), row.end());
  input.phenotypes.emplace_back(phenotype.begin(), phenotype.end());
  std::vector<int> columns;
  for (size_t j = 0; j < (genotypes.empty() ? 0 : genotypes.front().size()); ++j) columns.push_back(static_cast<int>(j));
  input.columns.push_back(columns);
  return input;
}

}  // namespace snp::test
