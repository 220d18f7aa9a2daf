// Export of the coded study genotypes of the first 2999 study markers in an
// indicator layout ("als_trans_genotype_2999.txt").
#pragma once

#include <string>

#include "input/input_data.h"

namespace snp {

inline constexpr const char* kGenotypeExportFile = "als_trans_genotype_2999.txt";

// The export text: per matched study marker among the first 2999, its
// reference name and position, the study map's letters and three indicator
// columns per individual.
std::string genotype_export_text(const InputData& d);

// Writes the text into the current directory; throws when it cannot be
// created or written.
void write_genotype_export(const std::string& text);

}  // namespace snp
