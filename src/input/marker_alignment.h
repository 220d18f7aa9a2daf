// Input phase: loads the panel and the study, matches study markers to
// reference markers by SNP name and lays the study genotypes out on the
// reference marker axis.
#pragma once

#include "model/run_data.h"

namespace snp {

// Allele concordance of study letters s0 s1 against reference letters r0 r1:
// 0 same order, 1 swapped, 2 or 3 all four of A, C, G, T (the two strand
// classes), -1 not comparable.
int allele_concordance_tag(char s0, char s1, char r0, char r1);

// A reference marker is monomorphic when its panel codes sum to 0 or to the
// number of haplotypes (missing alleles count -1).
std::vector<std::uint8_t> monomorphic_flags(const case_and_control_genotype_data& panel);

void read_disease_data_SNP_name(RunContext& ctx);
// Matches study markers to reference markers by name (SNP_map, snp_matched).
void match_study_markers(RunData& d, const std::vector<std::uint8_t>& monomorphic, int population_marker);
int diff_SNP_name(RunData& d);
void build_typed_marker_list(RunData& d, const std::vector<std::uint8_t>& monomorphic);
int read_two_part_data(RunContext& ctx);

}  // namespace snp
