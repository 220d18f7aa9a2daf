// Export of the coded study genotypes of the first 2999 study markers in an
// indicator layout ("als_trans_genotype_2999.txt").
#pragma once

#include <string>

#include "model/run_data.h"

namespace snp {

inline constexpr const char* kGenotypeExportFile = "als_trans_genotype_2999.txt";

// Writes the export file into the current directory; throws when it cannot
// be created or written.
int write_input_for_nature_paper(RunContext& ctx);

// The export text itself.
std::string genotype_export_text(const RunData& d, int typed_marker, int typed_sample);

}  // namespace snp
