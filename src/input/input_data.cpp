#include "input/input_data.h"

#include <ostream>

namespace snp {

InputData read_input(const InputFiles& files, std::ostream& console) {
  InputData d;
  d.panel = read_reference_panel(files.haplotype_file, files.reference_map_file, files.reference_markers,
                                 files.haplotypes, console);
  d.study_map = read_study_map(files.study_map_file, files.study_markers);
  d.alignment = align_markers(d.panel, d.study_map);

  const GenotypeGroup cases{files.study_map_file, files.case_file, files.chromosome, false, files.cases};
  const GenotypeGroup controls{files.study_map_file, files.control_file, files.chromosome, true, files.controls};
  d.study = read_study_genotypes(cases, controls, files.study_markers, console);
  d.study.codes = place_on_reference_markers(d.study.codes, d.study.individuals, d.alignment, files.reference_markers);
  console << "read data finish\n";
  return d;
}

}  // namespace snp
