// snp-convert's VCF path: the input as a VCF file (plain text; htslib also
// detects compressed and binary forms) through VcfReader, the panel
// conversion and the study conversion, and the written text files read back
// by the readers that consume them: the written reference map and haplotype
// file must give the converted markers and 2 haplotypes per sample again,
// the written study map the same names and letters, every genotype line two
// letters per marker.
#include <htslib/hts_log.h>

#include <sstream>

#include "convert/panel_converter.h"
#include "convert/panel_directory.h"
#include "convert/study_converter.h"
#include "convert/vcf_reader.h"
#include "fuzz_support.h"
#include "input/study_reader.h"
#include "base/text_source.h"
#include "base/errors.h"

using namespace snp;
using namespace snp::convert;

namespace {

void check_panel(const PanelData& panel) {
  std::ostringstream map, hap;
  write_reference_map(panel, map);
  write_haplotype_file(panel, hap);
  const std::vector<ConvertedMarker> markers = parse_reference_map(map.str(), "hapmap.map");
  FUZZ_CHECK(markers.size() == panel.markers.size(), "written reference map gives another number of markers");
  for (size_t j = 0; j < markers.size(); ++j)
    FUZZ_CHECK(markers[j].name == panel.markers[j].name && markers[j].position == panel.markers[j].position &&
                   markers[j].ref == panel.markers[j].ref && markers[j].alt == panel.markers[j].alt,
               "written reference map record " + std::to_string(j + 1) + " reads back differently");
  FUZZ_CHECK(count_haplotype_lines(hap.str(), "hapmap.hap", markers.size()) ==
                 static_cast<int>(panel.haplotypes.size()),
             "written haplotype file gives another number of haplotypes");
}

void check_study(const StudyData& study) {
  std::ostringstream map;
  write_study_map(study, map);
  const int n = static_cast<int>(study.markers.size());
  const StudyMap read = parse_study_map(map.str(), "normal.map", n);
  for (int k = 0; k < n; ++k) {
    const ConvertedMarker& m = study.markers[static_cast<size_t>(k)];
    FUZZ_CHECK(read.names[static_cast<size_t>(k)] == m.name &&
                   read.letters[static_cast<size_t>(k)] == (AllelePair{m.ref, m.alt}),
               "written study map record " + std::to_string(k + 1) + " reads back differently");
  }
  for (bool cases : {true, false}) {
    std::ostringstream geno;
    write_genotypes(study, cases, geno);
    std::istringstream lines(geno.str());
    std::string line;
    while (std::getline(lines, line)) {
      TextScanner scanner(line);
      std::string_view token;
      size_t tokens = 0;
      while (scanner.next_token(token)) {
        ++tokens;
        if (tokens > 2) FUZZ_CHECK(token.size() == 1, "genotype letter of more than one character");
      }
      FUZZ_CHECK(tokens == 2 + 2 * static_cast<size_t>(n), "genotype line without two letters per marker");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  hts_set_log_level(HTS_LOG_OFF);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string path = fuzz::write_scratch("input.vcf", fuzz::as_text(data, size));
  try {
    VcfReader reader(path);
    check_panel(convert_panel(reader, std::nullopt));
  } catch (const InputError& e) {
    FUZZ_CHECK(fuzz::contains(e.what(), path), std::string("message without the file: ") + e.what());
  }
  try {
    VcfReader reader(path);
    const std::vector<std::string> cases = {reader.samples().front()};
    check_study(convert_study(reader, cases, "cases.txt", std::nullopt));
  } catch (const InputError& e) {
    FUZZ_CHECK(fuzz::contains(e.what(), path), std::string("message without the file: ") + e.what());
  }
  return 0;
}
