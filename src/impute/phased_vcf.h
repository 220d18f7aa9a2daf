// The study haplotypes phased at the typed markers, as a phased VCF: a
// chromosome is phased once and its chunks are imputed from the file.
//
// Records are the typed markers in panel order (CHROM the chromosome
// number, POS, ID and REF/ALT the panel's position, name and letters, the
// panel's allele 0 as REF); samples are the study individuals in the order
// of the genotype files (cases, then controls), GT "a|b".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/reference_panel.h"
#include "input/study_reader.h"

namespace snp {

// `haplotypes`: 2 per individual, haplotype-major, one allele per typed marker.
void write_phased_vcf(const std::string& path, int chromosome, const ReferencePanel& panel,
                      const std::vector<int>& typed_markers, const StudyGenotypes& study,
                      const std::vector<std::int8_t>& haplotypes);

// The haplotypes of such a file, checked against this run's panel, typed
// markers and study; throws InputError naming the file and line otherwise.
std::vector<std::int8_t> read_phased_vcf(const std::string& path, const ReferencePanel& panel,
                                         const std::vector<int>& typed_markers, const StudyGenotypes& study);

}  // namespace snp
