// Haplotype-pair compatibility of study individuals with the reference panel
// over the neighbourhood of a target marker (step-by-step engine).
#pragma once

#include <iosfwd>
#include <vector>

#include "impute/neighbourhood.h"
#include "input/reference_panel.h"
#include "numeric/arrays.h"

namespace snp {

// Phasing tables: row k holds the first (haplotype1) and second (haplotype2)
// haplotype of phasing k of the individual being processed.
struct PhasingTables {
  CharMatrix haplotype1;
  CharMatrix haplotype2;
};

// Tables of one step of the step-by-step engine.
struct StepTables {
  int individuals = 0;
  int positions = 0;
  // Study codes at the neighbourhood positions: individuals by positions.
  CodeMatrix window;
  PhasingTables phasings;
  // Per individual: haplotype codes of its phasings, then the pair found.
  IntMatrix chain;
  // Per individual: 1 when a compatible reference pair exists, and 1 when a
  // neighbourhood position is missing.
  std::vector<int> have_pair;
  std::vector<int> missing_record;
};

// Expands row r of the window (`positions` columns) into its phasings: rows
// 0..P-1 of hp.haplotype1 and hp.haplotype2 (P = 2^(h-1), or 1 without
// heterozygous positions) and the haplotype codes in chain row r, ended by
// -1. Returns h, the number of heterozygous positions.
int expand_phasings(int r, const CodeMatrix& window, int positions, PhasingTables& hp, IntMatrix& chain);

// 1 when some phasing of individual r has both haplotypes in the panel (the
// first matching rows are recorded in the chain row), else 0. Sets *missing
// to 1 when a position of r is missing.
int find_compatible_pair(const ReferencePanel& panel, const Neighbourhood& n, int r, StepTables& tables, int* missing);

// Fills tables.have_pair and tables.missing_record for every individual.
void mark_compatible_pairs(const ReferencePanel& panel, const Neighbourhood& n, StepTables& tables);

// Segmentation check for an individual without a compatible pair: prints a
// diagnostic when its neighbourhood cannot be covered piecewise by reference
// haplotypes. Returns 2^(segments-1).
int check_piecewise_coverage(const ReferencePanel& panel, const Neighbourhood& n, int r, StepTables& tables,
                             std::ostream& console);

}  // namespace snp
