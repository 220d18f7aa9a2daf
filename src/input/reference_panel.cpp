#include "input/reference_panel.h"

#include <ostream>

#include "input/text_source.h"

namespace snp {
namespace {

[[noreturn]] void bad_allele(int haplotype, int marker, char c) {
  throw InputError(InputProblem::malformed,
                   "\n find error at reading population data chromsome i=" + std::to_string(haplotype) +
                       " allele j=" + std::to_string(marker) + " " + std::string(1, c) +
                       " asc code=" + std::to_string(static_cast<unsigned char>(c)) + "\n",
                   Channel::standard_output);
}

void decode_haplotype_line(std::string_view line, int haplotype, CodeMatrix& panel, int marker_count) {
  for (int m = 0; m < marker_count; ++m) {
    const char c = line[2 * static_cast<size_t>(m)];
    std::int8_t code;
    switch (c) {
      case '1': code = 1; break;
      case '0': code = 0; break;
      case '?': code = -1; break;
      default: bad_allele(haplotype, m, c);
    }
    panel(haplotype, m) = code;
  }
}

}  // namespace

int readpopulationdata(const std::string& path, CodeMatrix& panel, int marker_count, int haplotype_count,
                       std::ostream& console) {
  const auto text = read_file_text(path);
  if (!text) throw InputError(InputProblem::cannot_open, "find error for " + path + " \n", Channel::standard_output);
  TextScanner scanner(*text);
  const size_t longest = 2 * static_cast<size_t>(marker_count) + 2;
  const size_t shortest = 2 * static_cast<size_t>(marker_count) - 1;
  for (int i = 0; i < haplotype_count; ++i) {
    if (i % 1000 == 0) console << "read data=" << i << "\n";
    const long line_number = scanner.line();
    if (scanner.at_end())
      throw malformed_line(path, line_number,
                           "expected " + std::to_string(haplotype_count) + " haplotype lines, found " + std::to_string(i));
    const std::string_view line = scanner.rest_of_line();
    if (line.size() > longest)
      throw malformed_line(path, line_number,
                           "expected at most " + std::to_string(longest) + " characters, found " + std::to_string(line.size()));
    if (line.size() < shortest)
      throw malformed_line(path, line_number,
                           "expected " + std::to_string(marker_count) + " allele codes, found " +
                               std::to_string((line.size() + 1) / 2));
    decode_haplotype_line(line, i, panel, marker_count);
  }
  return 0;
}

case_and_control_genotype_data tbt_main(const RunContext& ctx, int haplotype_count, int marker_count) {
  case_and_control_genotype_data panel;
  panel.sample_number = haplotype_count;
  panel.marker_number = marker_count;
  panel.status.assign(static_cast<size_t>(haplotype_count), 0);
  panel.genotype.allocate(haplotype_count, marker_count);
  const std::string path = ctx.config.path_hapmap_datadirectory + ctx.config.path_hapmap_data_file;
  readpopulationdata(path, panel.genotype, marker_count, haplotype_count, ctx.out());
  return panel;
}

void read_hapmap_data_SNP_name(RunContext& ctx) {
  const RunConfig& cfg = ctx.config;
  RunData& d = ctx.data;
  const std::string path = cfg.path_hapmap_datadirectory + cfg.path_hapmap_data_mapfile;
  const auto text = read_file_text(path);
  if (!text) throw InputError(InputProblem::cannot_open, "file open " + path + " have error\n", Channel::standard_output);

  const auto markers = static_cast<size_t>(cfg.population_marker);
  d.population_data_SNP.assign(markers, std::string());
  d.allele_name.assign(markers, AllelePair{0, 0});
  TextScanner scanner(*text);
  std::string_view token;
  for (int h = 0; h < 4; ++h)
    if (!scanner.next_token(token))
      throw inconsistent_file(path, "expected a header of 4 fields and " + std::to_string(cfg.population_marker) +
                                        " marker records, found end of file in the header");
  for (size_t j = 0; j < markers; ++j) {
    std::string_view name, position;
    char first = 0, second = 0;
    const bool have_name_and_position = scanner.next_token(name) && scanner.next_token(position);
    const long position_line = scanner.line();
    if (!have_name_and_position || !scanner.next_char(first) || !scanner.next_char(second))
      throw inconsistent_file(path, "expected " + std::to_string(cfg.population_marker) +
                                        " marker records, found " + std::to_string(j) + " complete ones");
    const auto value = parse_int(position);
    if (!value)
      throw malformed_line(path, position_line,
                           "expected an integer position for marker " + std::string(name) + ", found \"" +
                               std::string(position) + "\"");
    d.population_data_SNP[j] = std::string(name);
    d.position_SNP[j] = *value;
    d.allele_name[j] = {first, second};
  }
}

}  // namespace snp
