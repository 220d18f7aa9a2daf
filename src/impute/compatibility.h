// Haplotype-pair compatibility of study individuals with the reference panel
// over the neighbourhood of the current step.
#pragma once

#include "model/run_data.h"

namespace snp {

// Expands row r of g into its phasings: rows 0..P-1 of hp.haplotype1 and
// hp.haplotype2 (P = 2^(h-1), or 1 without heterozygous positions) and the
// haplotype codes in chain row r, ended by -1. Returns h, the number of
// heterozygous positions.
int single_record_decompose(int r, const case_and_control_genotype_data& g, compatible_haplotype_data& hp,
                            IntMatrix& chain);

// 1 when some phasing of individual r has both haplotypes in the panel (the
// first matching rows are recorded in the chain row), else 0. Sets *missing
// to 1 when a position of r is missing.
int determinate_missing_record_have_pair1(RunContext& ctx, int r, const case_and_control_genotype_data& g,
                                          compatible_haplotype_data& hp, int* missing);

// Fills step.bitmap_have_pair and step.bitmap_missing_record for every individual.
void determinate_either_have_pair2(RunContext& ctx);

// Segmentation check for an individual without a compatible pair: prints a
// diagnostic when its neighbourhood cannot be covered piecewise by reference
// haplotypes. Returns 2^(segments-1).
int find_multiple_haplotype_product(RunContext& ctx, int r, const case_and_control_genotype_data& g,
                                    compatible_haplotype_data& hp);

}  // namespace snp
