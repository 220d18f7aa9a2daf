// The markers csm-analysis chose, read from the genotype input: each
// choice must name exactly one record (a name can repeat: two .bim rows
// with one ID, the records of a multi-allelic site split by bcftools norm).
#pragma once

#include <string>
#include <vector>

#include "analysis/inputs/marker_selection.h"
#include "genotypes/genotypes.h"

namespace snp {

// "CHR:BP:A1:A2" of a marker, as a screen table's row gives it.
std::string identity_of(const genotypes::Marker& marker);

// The chosen markers, one table row per choice in the order chosen. A
// choice with an identity takes the record of that name and identity (of
// that name alone when none has both, as in a hand-written table); one
// without takes the record of that name, or else the record whose
// CHR:BP:A1:A2 it is. Throws InputError naming `source` when a choice
// names no record, or when a name names more than one (naming both, and
// how to pick one).
genotypes::GenotypeTable read_chosen_markers(genotypes::GenotypeReader& reader, const std::vector<MarkerChoice>& chosen,
                                             const std::string& source);

}  // namespace snp
