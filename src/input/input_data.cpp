#include "input/input_data.h"

#include <ostream>

namespace snp {

InputData read_input(const InputFiles& files, std::ostream& console) {
  InputData d;
  d.panel = read_reference_panel(files.haplotype_file, files.reference_map_file, files.reference_markers,
                                 files.haplotypes, console);
  d.study_map = read_study_map(files.study_map_file, files.study_markers);
  d.alignment = align_markers(d.panel, d.study_map);

  const int individuals = files.cases + files.controls;
  CodeMatrix rows(individuals, files.study_markers);
  std::vector<std::string> ids;
  GenotypeGroup group{files.study_map_file, files.case_file, files.chromosome, false, files.cases};
  if (files.cases > 0) read_genotype_group(group, files.study_markers, rows, 0, ids, console);
  group.genotype_path = files.control_file;
  group.controls = true;
  group.individuals = files.controls;
  if (files.controls > 0) read_genotype_group(group, files.study_markers, rows, files.cases, ids, console);

  d.study.individuals = individuals;
  for (int s = 0; s < individuals; ++s) d.study.status.push_back(s < files.cases ? 1 : 0);
  d.study.codes = place_on_reference_markers(rows, individuals, d.alignment, files.reference_markers);
  d.study.ids = std::move(ids);
  console << "read data finish\n";
  return d;
}

}  // namespace snp
