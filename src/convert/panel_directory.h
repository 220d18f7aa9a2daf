// A converted reference panel on disk, as the study converter needs it: the
// marker and haplotype counts for the parameter file and the markers' names,
// positions and letters for matching study markers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/panel_converter.h"

namespace snp::convert {

struct PanelIndex {
  std::string directory;  // absolute, ending in "/"
  std::vector<ConvertedMarker> markers;
  int haplotypes = 0;
};

// Parses a reference map: a four-word header, then records of a name, an
// integer position and two letters (adjacent or separated).
std::vector<ConvertedMarker> parse_reference_map(std::string_view text, const std::string& path);

// Number of haplotype lines; every line must hold `markers` codes.
int count_haplotype_lines(std::string_view text, const std::string& path, size_t markers);

// Reads hapmap.map and hapmap.hap of `directory`; throws InputError when
// either cannot be read or they disagree.
PanelIndex read_panel_directory(const std::string& directory);

// Whether `directory` holds a reference map.
bool has_panel(const std::string& directory);

}  // namespace snp::convert
