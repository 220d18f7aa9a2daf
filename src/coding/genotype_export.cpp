#include "coding/genotype_export.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

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

std::string genotype_export_text(const RunData& d, int typed_marker, int typed_sample) {
  std::string text;
  const int markers = std::min(kExportedMarkers, typed_marker);
  for (int i = 0; i < markers; ++i) {
    if (!d.snp_matched[static_cast<size_t>(i)]) continue;
    const auto r = static_cast<size_t>(d.SNP_map[static_cast<size_t>(i)]);
    const AllelePair& letters = d.disease_allele_name[static_cast<size_t>(i)];
    text += "SNP" + std::to_string(i) + " " + d.population_data_SNP[r] + " " + std::to_string(d.position_SNP[r]) + " ";
    text += letters[0];
    text += ' ';
    text += letters[1];
    text += ' ';
    const std::int8_t* codes = d.data1.genotype.column(static_cast<int>(r));
    for (int s = 0; s < typed_sample; ++s) text += indicator_text(codes[s]);
    text += '\n';
  }
  return text;
}

int write_input_for_nature_paper(RunContext& ctx) {
  std::ofstream out(kGenotypeExportFile, std::ios::out | std::ios::trunc);
  out << genotype_export_text(ctx.data, ctx.config.typed_marker, ctx.data.data1.sample_number);
  out.close();
  if (out.fail())
    throw FatalError(std::string("Error: ") + kGenotypeExportFile + ": cannot write the genotype export (" +
                         std::strerror(errno) + ")\n",
                     Channel::standard_error);
  return 0;
}

}  // namespace snp
