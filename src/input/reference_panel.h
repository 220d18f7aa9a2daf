// Reference panel reader: phased haplotypes and the reference map.
#pragma once

#include <iosfwd>
#include <string>

#include "model/run_data.h"

namespace snp {

// Reads haplotype_count lines of marker_count allele codes ("1", "0", "?")
// at even character positions into rows 0.. of the panel matrix.
int readpopulationdata(const std::string& path, CodeMatrix& panel, int marker_count, int haplotype_count,
                       std::ostream& console);

// Loads the haplotype file of the reference directory into a panel record.
case_and_control_genotype_data tbt_main(const RunContext& ctx, int haplotype_count, int marker_count);

// Loads the reference map: SNP names, positions and allele letters.
void read_hapmap_data_SNP_name(RunContext& ctx);

}  // namespace snp
