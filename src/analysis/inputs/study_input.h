// The analysis input read from a genotype fileset (PLINK .bed or VCF/BCF)
// with a phenotype per sample: the selected markers, in the order selected,
// for every sample with a phenotype.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "analysis/inputs/analysis_input.h"
#include "analysis/inputs/marker_label.h"
#include "genotypes/genotypes.h"
#include "genotypes/phenotypes.h"

namespace snp {

// The observed data set alone: genotype column j is selected marker j;
// labels[j] names it.
struct StudyInput {
  AnalysisInput input;
  std::vector<MarkerLabel> labels;
};

// Builds the input from a table holding the selected markers (in any
// order) and the phenotypes of its samples. Samples without a phenotype
// are left out. Throws InputError naming `source` when a selected marker
// is absent, and naming `phenotype_source` when no sample is left or when
// a phenotype is not a whole number the analysis can hold (-32768..32767).
StudyInput study_input(const genotypes::GenotypeTable& table, const genotypes::Phenotypes& phenotypes,
                       const std::vector<std::string>& selected, const std::string& source,
                       const std::string& phenotype_source);

// Notes on `warnings` of the samples left out and of IDs naming no sample.
void report_phenotype_notes(const genotypes::Phenotypes& phenotypes, std::ostream& warnings);

}  // namespace snp
