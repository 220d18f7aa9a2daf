#include "coding/genotype_export.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/output_file.h"

namespace snp {
namespace {

constexpr int kExportedMarkers = 2999;

// Three indicator columns per sample: two copies, one copy, no copy.
const char* indicator_text(int code) {
  switch (code) {
    case 2: return "1 0 0 ";
    case 1: return "0 1 0 ";
    case 0: return "0 0 1 ";
    default: return "0 0 0 ";
  }
}

}  // namespace

std::string genotype_export_text(const InputData& d) {
  std::string text;
  const int markers = std::min(kExportedMarkers, static_cast<int>(d.study_map.letters.size()));
  for (int i = 0; i < markers; ++i) {
    if (!d.alignment.matched[static_cast<size_t>(i)]) continue;
    const auto r = static_cast<size_t>(d.alignment.reference_marker[static_cast<size_t>(i)]);
    const AllelePair& letters = d.study_map.letters[static_cast<size_t>(i)];
    text += "SNP" + std::to_string(i) + " " + d.panel.names[r] + " " + std::to_string(d.panel.positions[r]) + " ";
    text += letters[0];
    text += ' ';
    text += letters[1];
    text += ' ';
    const std::int8_t* codes = d.study.codes.column(static_cast<int>(r));
    for (int s = 0; s < d.study.individuals; ++s) text += indicator_text(codes[s]);
    text += '\n';
  }
  return text;
}

void write_genotype_export(const std::string& text) {
  ReplacingFile out(kGenotypeExportFile);
  out.stream() << text;
  if (!out.commit())
    throw FatalError(std::string("Error: ") + kGenotypeExportFile + ": cannot write the genotype export (" +
                         std::strerror(errno) + ")\n",
                     Channel::standard_error);
}

}  // namespace snp
