#include "input/input_data.h"

#include <optional>
#include <ostream>
#include <utility>

#include "input/binary_panel.h"

namespace snp {
namespace {

// How many study markers found a reference marker of their name, and how
// many stood out of chromosome order.
void note_alignment(const MarkerAlignment& a, const std::string& study_map_path, std::ostream& warnings) {
  const size_t study_markers = a.matched.size();
  if (a.out_of_order > 0)
    warnings << "Note: " << study_map_path << ": " << a.out_of_order
             << " study markers are out of chromosome order; they are used in the order of the reference map\n";
  if (static_cast<size_t>(a.matched_count) == study_markers) return;
  if (2 * static_cast<size_t>(a.matched_count) < study_markers)
    warnings << "Warning: " << study_map_path << ": only " << a.matched_count << " of " << study_markers
             << " study markers matched a reference marker by name (names are compared exactly, case included)\n";
  else
    warnings << "Note: " << study_map_path << ": " << a.matched_count << " of " << study_markers
             << " study markers matched a reference marker by name\n";
}

// Warns when more than half of a group's calls at the matched study markers
// read as missing: letters of another case than the map's, or not at the
// places the letter offset gives.
void warn_missing_calls(const CodeMatrix& rows, int first_row, int count, const std::vector<std::uint8_t>& matched,
                        const std::string& path, std::ostream& warnings) {
  long calls = 0, missing = 0;
  for (size_t k = 0; k < matched.size(); ++k) {
    if (!matched[k]) continue;
    const std::int8_t* column = rows.column(static_cast<int>(k)) + first_row;
    for (int r = 0; r < count; ++r) missing += column[r] < 0;
    calls += count;
  }
  if (2 * missing > calls)
    warnings << "Warning: " << path << ": " << missing << " of " << calls
             << " genotype calls at study markers found in the panel read as missing; letters count only when they"
                " equal the study map's (case included) and stand 2 characters apart after the blanks that follow"
                " the second word\n";
}

}  // namespace

InputData read_input(const InputFiles& files, std::ostream& console, std::ostream& warnings,
                     const PanelWindowChoice& window) {
  InputData d;
  std::optional<ReferencePanel> partial;
  if (window)
    partial = read_reference_panel_without_haplotypes(files.haplotype_file, files.reference_map_file,
                                                      files.reference_markers, files.haplotypes);
  d.panel = partial ? std::move(*partial)
                    : read_reference_panel(files.haplotype_file, files.reference_map_file, files.reference_markers,
                                           files.haplotypes, console);
  d.study_map = read_study_map(files.study_map_file, files.study_markers);
  d.alignment = align_markers(d.panel, d.study_map);
  if (partial) {
    const MarkerWindow columns = window(d.alignment);
    d.panel.haplotypes = read_binary_haplotypes(files.haplotype_file, files.reference_markers, files.haplotypes,
                                                columns.first, columns.end);
    console << "reference haplotypes read at markers " << columns.first + 1 << " to " << columns.end << " of "
            << files.reference_markers << "\n";
  }

  const GenotypeGroup cases{files.study_map_file, files.case_file, files.chromosome, false, files.cases};
  const GenotypeGroup controls{files.study_map_file, files.control_file, files.chromosome, true, files.controls};
  d.study = read_study_genotypes(cases, controls, files.study_markers, console);
  note_alignment(d.alignment, files.study_map_file, warnings);
  warn_missing_calls(d.study.codes, 0, files.cases, d.alignment.matched, files.case_file, warnings);
  warn_missing_calls(d.study.codes, files.cases, files.controls, d.alignment.matched, files.control_file, warnings);
  d.study.codes = place_on_reference_markers(d.study.codes, d.study.individuals, d.alignment, files.reference_markers);
  console << "read data finish\n";
  return d;
}

}  // namespace snp
