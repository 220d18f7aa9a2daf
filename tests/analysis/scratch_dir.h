// Helpers of the analysis tests: a scratch work directory and a context
// whose console is captured.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "analysis/context.h"

namespace snp::test {

// A fresh directory, removed with its contents at the end of the test.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::string path_;
};

// A context working in `dir`, with console and warnings captured.
struct CapturedContext {
  explicit CapturedContext(const ScratchDir& dir);
  std::ostringstream console;
  std::ostringstream warnings;
  AnalysisContext ctx;
};

// Data set 0 of `genotypes` (one row per individual, one code per marker)
// and `phenotype`, with marker j read from genotype column j - 1.
AnalysisInput one_data_set(const std::vector<std::vector<int>>& genotypes, const std::vector<int>& phenotype);

}  // namespace snp::test
