// Reference panel: phased biallelic SNPs of one chromosome to the reference
// haplotype file and the reference map.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "convert/site_scan.h"
#include "convert/vcf_reader.h"

namespace snp::convert {

inline constexpr const char* kHaplotypeFile = "hapmap.hap";
inline constexpr const char* kReferenceMapFile = "hapmap.map";

struct ConvertedMarker {
  std::string name;
  long position = 0;
  char ref = 0;  // first map letter, code 0
  char alt = 0;  // second map letter, code 1
};

struct PanelData {
  std::vector<ConvertedMarker> markers;
  // Per haplotype (two per sample, in sample order) one code per marker:
  // '0' REF, '1' ALT, '?' missing.
  std::vector<std::string> haplotypes;
  ScanSummary summary;
};

PanelData convert_panel(VcfReader& reader, const std::optional<std::string>& chromosome);

// Whether marker j carries one allele only on every haplotype of the panel
// (missing codes aside): imputed from such a panel, an untyped marker is
// the same for everyone and carries no information.
std::vector<bool> monomorphic_markers(const PanelData& panel);

// The panel without the markers marked in `drop`.
PanelData without_markers(const PanelData& panel, const std::vector<bool>& drop);

// Haplotype file: one line per haplotype, the codes separated by blanks.
void write_haplotype_file(const PanelData& panel, std::ostream& out);
// Reference map: a four-word header, then "name position REF ALT" per marker.
void write_reference_map(const PanelData& panel, std::ostream& out);

}  // namespace snp::convert
