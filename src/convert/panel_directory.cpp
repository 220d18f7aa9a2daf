#include "convert/panel_directory.h"

#include <filesystem>

#include "convert/output_files.h"
#include "base/text_source.h"
#include "base/errors.h"

namespace snp::convert {
namespace {

std::string in_directory(const std::string& directory, const char* name) {
  return (std::filesystem::path(directory) / name).string();
}

FileText open_text(const std::string& path) {
  auto text = read_file_text(path);
  if (!text) throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + "\n");
  return std::move(*text);
}

}  // namespace

std::vector<ConvertedMarker> parse_reference_map(std::string_view text, const std::string& path) {
  TextScanner scanner(text);
  std::string_view token;
  for (int h = 0; h < 4; ++h)
    if (!scanner.next_token(token)) throw inconsistent_file(path, "expected a header of 4 words, found end of file");
  std::vector<ConvertedMarker> markers;
  std::string_view name, position;
  while (scanner.next_token(name)) {
    ConvertedMarker m;
    const long line = scanner.line();
    if (!scanner.next_token(position) || !scanner.next_char(m.ref) || !scanner.next_char(m.alt))
      throw malformed_line(path, line, "expected a name, a position and two allele letters");
    if (!scanner.at_word_end())
      throw malformed_line(path, scanner.line(), "expected two allele letters of one character each for marker " +
                                                     std::string(name));
    const auto value = parse_int(position);
    if (!value)
      throw malformed_line(path, line, "expected an integer position, found \"" + std::string(position) + "\"");
    m.name = std::string(name);
    m.position = *value;
    markers.push_back(std::move(m));
  }
  if (markers.empty()) throw inconsistent_file(path, "expected marker records after the header, found none");
  return markers;
}

HaplotypeTally tally_haplotypes(std::string_view text, const std::string& path, size_t markers) {
  TextScanner scanner(text);
  HaplotypeTally tally;
  tally.counts.resize(markers);
  while (!scanner.at_end()) {
    const long number = scanner.line();
    std::string_view line = scanner.rest_of_line();
    while (!line.empty() && is_space(line.back())) line.remove_suffix(1);
    const size_t codes = (line.size() + 1) / 2;
    if (codes != markers)
      throw malformed_line(path, number,
                           "expected " + std::to_string(markers) + " allele codes, found " + std::to_string(codes));
    for (size_t k = 0; k < markers; ++k) {
      const char code = line[2 * k];
      tally.counts[k].alt += code == '1';
      tally.counts[k].called += code == '0' || code == '1';
    }
    ++tally.lines;
  }
  if (tally.lines == 0) throw inconsistent_file(path, "expected haplotype lines, found none");
  return tally;
}

PanelIndex read_panel_directory(const std::string& directory) {
  PanelIndex index;
  index.directory = absolute_directory(directory);
  const std::string map_path = in_directory(directory, kReferenceMapFile);
  index.markers = parse_reference_map(open_text(map_path), map_path);
  const std::string hap_path = in_directory(directory, kHaplotypeFile);
  HaplotypeTally tally = tally_haplotypes(open_text(hap_path), hap_path, index.markers.size());
  index.haplotypes = tally.lines;
  index.counts = std::move(tally.counts);
  return index;
}

bool has_panel(const std::string& directory) {
  return std::filesystem::exists(in_directory(directory, kReferenceMapFile));
}

}  // namespace snp::convert
