// Everything the input phase produces: the panel, the study map, its
// alignment to the panel and the study genotypes on the reference axis.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "input/marker_alignment.h"

namespace snp {

struct InputData {
  ReferencePanel panel;
  StudyMap study_map;
  MarkerAlignment alignment;
  // Study codes on the reference marker axis (copies of the minimum allele
  // letter until the allele coding brings them to the panel's convention).
  StudyGenotypes study;
};

// Paths and counts of the five data files.
struct InputFiles {
  std::string haplotype_file;
  std::string reference_map_file;
  std::string study_map_file;
  std::string case_file;
  std::string control_file;
  int chromosome = 0;
  int reference_markers = 0;
  int haplotypes = 0;
  int study_markers = 0;
  int cases = 0;
  int controls = 0;
};

// The panel columns a run needs, chosen once the markers are matched.
using PanelWindowChoice = std::function<MarkerWindow(const MarkerAlignment&)>;

// Reads the panel, the study map and both genotype groups (cases first),
// matches the markers and lays the study out on the reference axis. Notes
// on the matching (markers out of order, not matched) and warnings of
// genotype files that read mostly as missing go to `warnings`. Given a
// window choice, a binary panel's haplotypes are read at the chosen columns
// only (the panel's code sums stand for the others); a text panel is read
// whole.
InputData read_input(const InputFiles& files, std::ostream& console, std::ostream& warnings,
                     const PanelWindowChoice& window = {});

}  // namespace snp
