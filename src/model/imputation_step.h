// State of one imputation step (one target reference marker), plus the
// neighbourhood search position that carries over from step to step.
#pragma once

#include <array>
#include <vector>

#include "model/genotype_data.h"
#include "numeric/arrays.h"

namespace snp {

struct ImputationStep {
  // 0-based reference index of the marker being imputed.
  int begin_hapmap_i = 0;
  // Entry 0: the target marker.
  std::array<int, 6> impute_marker{};
  // Neighbourhood: marker1 runs from the farthest marker left of the target
  // to the nearest, marker2 from the nearest right of it to the farthest.
  std::array<int, 6> marker1{};
  std::array<int, 6> marker2{};
  int len1 = 3;
  int len2 = 3;
  int inital_begin_len1 = 2;
  int inital_begin_len2 = 2;

  // Window matrix: study codes at the len1 + len2 neighbourhood positions.
  case_and_control_genotype_data a;
  // Phasing tables of the individual being processed.
  compatible_haplotype_data b;
  // Per individual: haplotype codes of its phasings, then the pair found.
  IntMatrix Genotype_with_id_haplotype_chain;
  // Per individual: 1 when a compatible reference pair exists.
  std::vector<int> bitmap_have_pair;
  // Per individual: 1 when a neighbourhood position is missing.
  std::vector<int> bitmap_missing_record;

  // Neighbourhood search position in the typed-marker list; only moves forward
  // as the targets ascend over a run.
  int cursor = 0;
  int find_near_type_marker = 0;

  // Reference marker of neighbourhood position c.
  int position_marker(int c) const { return c < len1 ? marker1[c] : marker2[c - len1]; }
  int positions() const { return len1 + len2; }
};

}  // namespace snp
