#include "input/study_reader.h"

#include <ostream>

#include "input/text_source.h"

namespace snp {
namespace {

// Fixed exceptions of two chip data sets.
constexpr int kChr10SkippedMarker = 19596;
constexpr int kChr17Marker = 13785;
constexpr int kChr17SampleA = 40;
constexpr int kChr17SampleB = 141;

// Letter offset: leading blanks (code 32 only) of the rest of a line, at most 2n.
int leading_blanks(std::string_view rest, int n) {
  const size_t limit = 2 * static_cast<size_t>(n);
  size_t count = 0;
  while (count < rest.size() && count < limit && rest[count] == ' ') ++count;
  return static_cast<int>(count);
}

struct GroupCoding {
  const StudyMap& map;
  int n;
  int current_chr;
  bool controls;
};

void code_sample_line(std::string_view rest, int offset, int sample, const GroupCoding& g, std::int8_t* cells) {
  auto letter = [&](int m, int allele) -> char {
    const size_t pos = static_cast<size_t>(offset) + 4 * static_cast<size_t>(m) + 2 * static_cast<size_t>(allele);
    return pos < rest.size() ? rest[pos] : '0';
  };
  for (int m = 0; m < g.n; ++m) {
    const char max_letter = g.map.letters[static_cast<size_t>(m)][0];
    const char min_letter = g.map.letters[static_cast<size_t>(m)][1];
    if (max_letter == '-' || (g.current_chr == 10 && m == kChr10SkippedMarker)) {
      cells[m] = -1;
      continue;
    }
    const char first = letter(m, 0);
    const char second = letter(m, 1);
    cells[m] = code_genotype(first, second, max_letter, min_letter);
    const bool chr17_exception = g.controls && g.current_chr == 17 && m == kChr17Marker &&
                                 (sample == kChr17SampleA || sample == kChr17SampleB);
    if (chr17_exception && first != min_letter && first != max_letter && first != '0') {
      // The first allele counts as one copy of the minimum letter.
      const std::int8_t other = code_genotype(min_letter, second, max_letter, min_letter);
      cells[m] = other < 0 ? std::int8_t{-1} : other;
    }
  }
}

}  // namespace

StudyMap parse_study_map(std::string_view text, const std::string& path, int marker_count) {
  StudyMap map;
  map.names.reserve(static_cast<size_t>(marker_count));
  map.letters.reserve(static_cast<size_t>(marker_count));
  TextScanner scanner(text);
  std::string_view skipped, name;
  char max_letter = 0, min_letter = 0;
  for (int k = 0; k < marker_count; ++k) {
    const bool complete = scanner.next_token(skipped) && scanner.next_token(skipped) && scanner.next_token(name) &&
                          scanner.next_char(max_letter) && scanner.next_char(min_letter) &&
                          scanner.next_token(skipped) && scanner.next_token(skipped) && scanner.next_token(skipped);
    if (!complete)
      throw inconsistent_file(path, "expected " + std::to_string(marker_count) + " marker records of 8 fields, found " +
                                        std::to_string(k) + " complete ones");
    map.names.emplace_back(name);
    map.letters.push_back({max_letter, min_letter});
  }
  return map;
}

void trans_ACGT_to_01_minus_1(RunContext& ctx, CharMatrix& rows, int first_row, int n) {
  const RunConfig& cfg = ctx.config;
  const bool controls = ctx.data.cc_or_als == 0;
  const std::string map_path = cfg.path_disease_datadirectory + cfg.path_disease_data_mapfile0;
  const auto map_text = read_file_text(map_path);
  if (!map_text)
    throw InputError(InputProblem::cannot_open, "open file " + map_path + " have error\n", Channel::standard_output,
                     /*wait_for_keystroke=*/true);
  ctx.out() << "read chromosome " << cfg.current_chr
            << " maximum Allele Letter and minimum Allele Letter information\n";
  const StudyMap map = parse_study_map(*map_text, map_path, n);

  const std::string geno_path =
      cfg.path_disease_datadirectory + (controls ? cfg.path_disease_data_file0 : cfg.path_disease_data_file1);
  const auto geno_text = read_file_text(geno_path);
  if (!geno_text)
    throw InputError(InputProblem::cannot_open, "open file " + geno_path + " have some error\n",
                     Channel::standard_output);

  const int count = controls ? cfg.ncontrol : cfg.ncase;
  const GroupCoding coding{map, n, cfg.current_chr, controls};
  TextScanner scanner(*geno_text);
  int offset = 0;
  for (int j = 0; j < count; ++j) {
    std::string_view id, second_word;
    if (!scanner.next_token(id) || !scanner.next_token(second_word))
      throw malformed_line(geno_path, scanner.line(),
                           "expected " + std::to_string(count) + " sample lines, found " + std::to_string(j));
    const std::string_view rest = scanner.rest_of_line();
    if (offset == 0) offset = leading_blanks(rest, n);
    code_sample_line(rest, offset, j, coding, rows[first_row + j].data());
  }
}

}  // namespace snp
