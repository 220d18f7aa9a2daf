// Imputation step computed with bit sets and pattern histograms. It gives the
// same calls and console diagnostics as the step-by-step engine
// (reference_engine.h), which stays the reference for it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "impute/engine.h"
#include "impute/neighbourhood.h"

namespace snp {

class FastEngine : public ImputationEngine {
 public:
  explicit FastEngine(const EngineInput& input);
  const std::vector<GenotypeCall>& impute(int t, std::ostream& console) override;

 private:
  // Panel row over the neighbourhood: bit c set in `known` when the allele at
  // position c is known, and in `ones` when it is 1; target allele or -1.
  struct RowBits {
    std::uint16_t known;
    std::uint16_t ones;
    std::int8_t target;
  };
  // Individual over the neighbourhood: non-missing, heterozygous and
  // homozygous-for-1 positions.
  struct Genotype {
    std::uint16_t present;
    std::uint16_t het;
    std::uint16_t twos;
  };
  // Consecutive panel rows q and q+1: positions where both alleles are known,
  // where their sum is 1 and where it is 2; target code or -1.
  struct RowPair {
    std::uint16_t known;
    std::uint16_t sum_one;
    std::uint16_t sum_two;
    std::int8_t target;
  };
  struct Estimate {
    bool have_pair = false;
    long counts[3] = {0, 0, 0};
  };

  void load_rows();
  void load_row_pairs();
  void load_individuals();
  int fallback(int r, double* probability, std::array<double, 3>& probabilities) const;
  void estimate_from_pairs();
  void build_pattern_tables(std::uint16_t present);
  void clear_pattern_tables();
  void estimate_individual(int r);
  void check_coverage(int r, std::ostream& console) const;
  void make_calls(std::ostream& console);

  EngineInput input_;
  int cursor_ = 0;
  Neighbourhood neighbourhood_;
  int positions_ = 0;
  std::vector<RowBits> rows_;
  std::vector<Genotype> individuals_;
  std::vector<Estimate> estimates_;
  std::vector<RowPair> pairs_;
  // Per pattern (alleles at the non-missing positions): whether a usable row
  // has it, and how many such rows carry target allele 0 and 1.
  std::vector<std::uint8_t> pattern_present_;
  std::vector<std::array<long, 2>> pattern_targets_;
  std::vector<std::uint16_t> touched_patterns_;
  std::vector<int> group_of_mask_;
  std::vector<GenotypeCall> calls_;
};

}  // namespace snp
