// A converted reference panel on disk, as the study converter needs it: the
// marker and haplotype counts for the parameter file, the markers' names,
// positions and letters for matching study markers, and their allele counts
// for the strand check.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/panel_converter.h"

namespace snp::convert {

// Copies of the ALT allele (code 1) and of any called allele (0 or 1).
struct AlleleCount {
  int alt = 0;
  int called = 0;
};

struct HaplotypeTally {
  int lines = 0;
  std::vector<AlleleCount> counts;  // per marker
};

struct PanelIndex {
  std::string directory;  // absolute, ending in "/"
  std::vector<ConvertedMarker> markers;
  int haplotypes = 0;
  std::vector<AlleleCount> counts;  // per marker, over all haplotypes
};

// Parses a reference map: a four-word header, then records of a name, an
// integer position and two letters (adjacent or separated).
std::vector<ConvertedMarker> parse_reference_map(std::string_view text, const std::string& path);

// Counts the haplotype lines and each marker's codes; every line must hold
// `markers` codes.
HaplotypeTally tally_haplotypes(std::string_view text, const std::string& path, size_t markers);

// Reads hapmap.map and hapmap.hap of `directory`; throws InputError when
// either cannot be read or they disagree.
PanelIndex read_panel_directory(const std::string& directory);

// Whether `directory` holds a reference map.
bool has_panel(const std::string& directory);

}  // namespace snp::convert
