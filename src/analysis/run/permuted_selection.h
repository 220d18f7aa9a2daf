// --top with the selection inside the permutation test: the markers of the
// whole genotype input are ranked by the screen's minimum p-value on the
// observed phenotype and again on every permuted one, and each data set
// analyses its own top N. The permutation p-value then covers the whole
// procedure: screen, selection, search and fit.
#pragma once

#include <string>
#include <vector>

#include "analysis/inputs/analysis_input.h"
#include "analysis/inputs/marker_selection.h"
#include "analysis/inputs/study_input.h"
#include "genotypes/genotypes.h"
#include "genotypes/phenotypes.h"
#include "single_marker/phenotype_ranking.h"

namespace snp {

struct TopSelection {
  screen::PackedGenotypes genotypes{0};  // every marker, the samples with a phenotype
  std::vector<genotypes::Marker> markers;
  int count = 0;
  std::vector<int> observed;  // the observed data set's top markers, best first
};

// Reads every marker of `reader` for the samples with a phenotype and ranks
// them on the observed phenotype. Throws InputError naming `phenotype_source`
// for a phenotype that is not case/control, and naming the table when its
// choice differs from the ranking (a table made from other data).
TopSelection read_top_selection(genotypes::GenotypeReader& reader, const genotypes::Phenotypes& phenotypes,
                                const std::string& phenotype_source, const TopRequest& top);

// The observed data set: genotype column j is observed top marker j.
StudyInput observed_top_input(const TopSelection& selection, const genotypes::Phenotypes& phenotypes);

// Gives each permuted data set of `input` (1, 2, ...) the top markers of its
// own phenotype, adding a genotype column for each marker no earlier data
// set uses. The result does not depend on `threads`.
void select_in_permutations(const TopSelection& selection, AnalysisInput& input, int threads);

}  // namespace snp
