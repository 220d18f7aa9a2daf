// The state an HmmEngine keeps between its phasing and imputation passes.
#pragma once

#include <cstdint>
#include <vector>

#include "impute/hmm_engine.h"

namespace snp {

struct HmmEngine::Work {
  int haplotypes = 0;   // reference
  int individuals = 0;  // study
  int typed = 0;
  std::vector<std::int8_t> typed_alleles;  // typed marker by reference haplotype, from typed_first on
  int typed_first = 0;
  std::vector<std::int8_t> genotypes;      // individual by typed marker
  std::vector<std::int8_t> phased;         // study haplotype by typed marker
  bool phased_done = false;
  // Allele-1 probabilities of the block being imputed: reference marker by
  // study haplotype.
  int block = -1;
  int block_first = 0;
  int block_end = 0;
  std::vector<float> allele_one;
  std::vector<float> unknown_fill;  // per reference marker: the panel's allele-1 frequency
  // Per reference marker: the haplotypes carrying its less frequent allele
  // (minor_one: whether that is allele 1), then those with an unknown one,
  // as ranges of `carriers`.
  std::vector<int> carriers;
  std::vector<size_t> minor_start, unknown_start;
  std::vector<std::uint8_t> minor_one;
};

}  // namespace snp
