// Optional output of the genotype probabilities the engine estimated: one line
// per imputed marker, laid out like the result file, with three probabilities
// (codes 0, 1, 2) per individual, or "NA NA NA" where none were estimated.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "impute/fast_engine.h"
#include "model/run_data.h"

namespace snp {

class ProbabilityWriter {
 public:
  // Throws FatalError when the file cannot be created.
  explicit ProbabilityWriter(const std::string& path);
  void write(const RunData& d, int t, const std::vector<GenotypeCall>& calls);
  // Throws FatalError when the file could not be written completely.
  void close();

 private:
  std::string path_;
  std::ofstream out_;
  std::string line_;
};

}  // namespace snp
