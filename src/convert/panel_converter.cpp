#include "convert/panel_converter.h"

#include <ostream>

namespace snp::convert {
namespace {

char haplotype_code(int allele) { return allele == kMissingAllele ? '?' : static_cast<char>('0' + allele); }

void append_codes(const VariantRecord& record, std::vector<std::string>& haplotypes) {
  for (size_t s = 0; s < record.genotypes.size(); ++s) {
    const Genotype& g = record.genotypes[s];
    haplotypes[2 * s].push_back(haplotype_code(g.first));
    haplotypes[2 * s + 1].push_back(haplotype_code(g.ploidy >= 2 ? g.second : kMissingAllele));
  }
}

}  // namespace

PanelData convert_panel(VcfReader& reader, const std::optional<std::string>& chromosome) {
  PanelData panel;
  panel.haplotypes.resize(2 * reader.samples().size());
  panel.summary = scan_snps(reader, {chromosome, /*need_haplotypes=*/true}, [&](const VariantRecord& record) {
    panel.markers.push_back(
        {marker_name(record), record.position, allele_letter(record.alleles[0]), allele_letter(record.alleles[1])});
    append_codes(record, panel.haplotypes);
  });
  return panel;
}

std::vector<bool> monomorphic_markers(const PanelData& panel) {
  std::vector<bool> monomorphic(panel.markers.size());
  for (size_t j = 0; j < panel.markers.size(); ++j) {
    bool ref = false, alt = false;
    for (const std::string& codes : panel.haplotypes) {
      ref = ref || codes[j] == '0';
      alt = alt || codes[j] == '1';
    }
    monomorphic[j] = !(ref && alt);
  }
  return monomorphic;
}

PanelData without_markers(const PanelData& panel, const std::vector<bool>& drop) {
  PanelData kept;
  kept.summary = panel.summary;
  kept.haplotypes.resize(panel.haplotypes.size());
  for (size_t j = 0; j < panel.markers.size(); ++j) {
    if (drop[j]) continue;
    kept.markers.push_back(panel.markers[j]);
    for (size_t h = 0; h < panel.haplotypes.size(); ++h) kept.haplotypes[h].push_back(panel.haplotypes[h][j]);
  }
  return kept;
}

void write_haplotype_file(const PanelData& panel, std::ostream& out) {
  std::string line;
  for (const std::string& codes : panel.haplotypes) {
    line.clear();
    for (size_t m = 0; m < codes.size(); ++m) {
      if (m > 0) line.push_back(' ');
      line.push_back(codes[m]);
    }
    line.push_back('\n');
    out << line;
  }
}

void write_reference_map(const PanelData& panel, std::ostream& out) {
  out << "rsID position allele0 allele1\n";
  for (const ConvertedMarker& m : panel.markers)
    out << m.name << ' ' << m.position << ' ' << m.ref << ' ' << m.alt << '\n';
}

}  // namespace snp::convert
