// Optional output of the genotype probabilities the engine estimated: one line
// per imputed marker, laid out like the result file, with three probabilities
// (codes 0, 1, 2) per individual, or "NA NA NA" where none were estimated.
#pragma once

#include <string>
#include <vector>

#include "base/output_file.h"
#include "impute/engine.h"
#include "input/reference_panel.h"

namespace snp {

class ProbabilityWriter {
 public:
  // Throws FatalError when the file cannot be created.
  ProbabilityWriter(const std::string& path, const ReferencePanel& panel);
  void write(int t, const std::vector<GenotypeCall>& calls);
  // Throws FatalError when the file could not be written completely.
  void close();

 private:
  std::string path_;
  const ReferencePanel& panel_;
  ReplacingFile file_;
  std::ostream& out_;
  std::string line_;
};

}  // namespace snp
