// The step-by-step reference engine: for each target marker it builds the
// window and phasing tables, looks for compatible reference pairs one
// individual at a time and counts their target codes. Slow, and kept as the
// reference the fast engine is checked against.
#pragma once

#include <vector>

#include "impute/compatibility.h"
#include "impute/engine.h"

namespace snp {

// Rows of each phasing table for n neighbourhood positions: 2^n, at least 2000.
int phasing_table_rows(int n);

// The window matrix, the phasing tables and the chain table of a
// neighbourhood, with the study codes copied into the window.
StepTables build_step_tables(const StudyGenotypes& study, const Neighbourhood& n);

class ReferenceEngine : public ImputationEngine {
 public:
  explicit ReferenceEngine(const EngineInput& input) : input_(input) {}
  const std::vector<GenotypeCall>& impute(int t, std::ostream& console) override;

 private:
  EngineInput input_;
  int cursor_ = 0;
  std::vector<GenotypeCall> calls_;
};

}  // namespace snp
