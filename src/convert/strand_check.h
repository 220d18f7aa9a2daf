// A/T and C/G markers read the same on both DNA strands, so their letters
// cannot tell a chip typed on the other strand from the panel's; their allele
// frequencies can. These markers can also be left out of the study.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "convert/panel_directory.h"
#include "convert/study_converter.h"

namespace snp::convert {

inline constexpr const char* kStrandTableFile = "strand_check.tsv";

// Whether the two letters are A and T or C and G.
bool is_ambiguous(const ConvertedMarker& marker);

// Removes the A/T and C/G markers from the study (map and every sample's
// letters); returns how many were removed.
long drop_ambiguous(StudyData& study);

// Whether the ALT copies counted in the study and in the panel (of the same
// letter) point to opposite strands: both frequencies lie at least 0.1 from
// 0.5, on opposite sides of it, and they differ by more than three standard
// errors of a two-sample test of equal frequencies (pooled frequency f,
// sqrt(f(1-f)(1/n_study + 1/n_panel)) over n called copies each). A marker
// with a minor allele frequency near 0.5 cannot be judged this way.
bool suggests_other_strand(AlleleCount study, AlleleCount panel);

struct StrandSuspect {
  ConvertedMarker marker;  // the study's
  double study_frequency = 0;
  double panel_frequency = 0;  // of the study's ALT letter
};

// The A/T and C/G study markers matched (by their name after
// match_panel_names) to a panel marker with the same two letters whose
// frequencies suggest the other strand, in study order.
std::vector<StrandSuspect> check_strand(const StudyData& study, const PanelIndex& panel);

// A header line, then "name position REF/ALT study panel" per suspect,
// tab-separated, frequencies with four decimals.
void write_strand_table(const std::vector<StrandSuspect>& suspects, std::ostream& out);

// Count and first names of the suspects on `err`; nothing when none.
void report_strand(const std::vector<StrandSuspect>& suspects, const std::string& table_path, std::ostream& err);

}  // namespace snp::convert
