#include "input/reference_panel.h"

#include <algorithm>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <ostream>
#include <utility>
#include <vector>

#include "base/text_source.h"
#include "input/binary_panel.h"

namespace snp {
namespace {

constexpr std::int8_t kBadCode = 127;

// Panel code of each character at a code position.
struct CodeTable {
  std::int8_t code[256];
  constexpr CodeTable() : code() {
    for (auto& c : code) c = kBadCode;
    code[static_cast<unsigned char>('1')] = 1;
    code[static_cast<unsigned char>('0')] = 0;
    code[static_cast<unsigned char>('?')] = -1;
  }
  std::int8_t operator[](char c) const { return code[static_cast<unsigned char>(c)]; }
};
constexpr CodeTable kCodes;

[[noreturn]] void bad_allele(int haplotype, int marker, char c) {
  throw InputError(InputProblem::malformed,
                   "\n find error at reading population data chromsome i=" + std::to_string(haplotype) +
                       " allele j=" + std::to_string(marker) + " " + std::string(1, c) +
                       " asc code=" + std::to_string(static_cast<unsigned char>(c)) + "\n",
                   Channel::standard_output);
}

// Whether every code position of the first `count` characters holds 1, 0 or ?.
bool codes_valid(const char* text, size_t count) {
  size_t k = 0;
  bool bad = false;
#ifdef __SSE2__
  // Sixteen characters at a time; only the even positions are code positions.
  const __m128i one = _mm_set1_epi8('1'), zero = _mm_set1_epi8('0'), missing = _mm_set1_epi8('?');
  for (; k + 16 <= count; k += 16) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + k));
    const __m128i ok = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chars, one), _mm_cmpeq_epi8(chars, zero)),
                                    _mm_cmpeq_epi8(chars, missing));
    bad |= (_mm_movemask_epi8(ok) & 0x5555) != 0x5555;
  }
#endif
  for (; k < count; k += 2) bad |= kCodes[text[k]] == kBadCode;
  return !bad;
}

void check_codes(std::string_view line, int haplotype, int marker_count) {
  if (codes_valid(line.data(), 2 * static_cast<size_t>(marker_count) - 1)) return;
  for (int m = 0; m < marker_count; ++m) {
    const char c = line[2 * static_cast<size_t>(m)];
    if (kCodes[c] == kBadCode) bad_allele(haplotype, m, c);
  }
}

// Next haplotype line, checked for length; `cut_at` is the end of a stream
// that held more than was read (null for a whole file).
std::string_view haplotype_line(TextScanner& scanner, const std::string& path, int i, int haplotype_count,
                                int marker_count, const char* cut_at) {
  const size_t longest = 2 * static_cast<size_t>(marker_count) + 2;
  const size_t shortest = 2 * static_cast<size_t>(marker_count) - 1;
  const long line_number = scanner.line();
  if (scanner.at_end())
    throw malformed_line(path, line_number,
                         "expected " + std::to_string(haplotype_count) + " haplotype lines, found " + std::to_string(i));
  const std::string_view line = scanner.rest_of_line();
  if (line.size() > longest)
    throw malformed_line(path, line_number,
                         "expected at most " + std::to_string(longest) + " characters, found " +
                             (line.data() + line.size() == cut_at ? "more than " : "") + std::to_string(line.size()));
  if (line.size() < shortest)
    throw malformed_line(path, line_number,
                         "expected " + std::to_string(marker_count) + " allele codes, found " +
                             std::to_string((line.size() + 1) / 2));
  return line;
}

// Codes of one checked haplotype line, one byte per marker.
void decode_line(const char* text, int marker_count, std::int8_t* codes) {
  int m = 0;
#ifdef __SSE2__
  // Thirty-two characters give sixteen codes: c - '0', or -1 for '?'.
  const __m128i zero = _mm_set1_epi8('0'), missing = _mm_set1_epi8('?'), low_bytes = _mm_set1_epi16(0x00FF);
  auto codes_of = [&](const char* at) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i is_missing = _mm_cmpeq_epi8(chars, missing);
    const __m128i code = _mm_or_si128(_mm_andnot_si128(is_missing, _mm_sub_epi8(chars, zero)), is_missing);
    return _mm_and_si128(code, low_bytes);
  };
  for (; m + 16 < marker_count; m += 16) {  // the last 32 characters may run past the line
    const __m128i packed = _mm_packus_epi16(codes_of(text + 2 * m), codes_of(text + 2 * m + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(codes + m), packed);
  }
#endif
  for (; m < marker_count; ++m) codes[m] = kCodes[text[2 * static_cast<size_t>(m)]];
}

// Writes the codes into the marker-major panel 64 haplotypes at a time, so
// that each marker receives one cache line per group.
void decode_lines(const std::vector<std::string_view>& lines, CodeMatrix& panel, int marker_count) {
  constexpr size_t kGroup = 64;
  std::vector<std::int8_t> rows(kGroup * static_cast<size_t>(marker_count));
  for (size_t first = 0; first < lines.size(); first += kGroup) {
    const size_t count = std::min(kGroup, lines.size() - first);
    for (size_t l = 0; l < count; ++l)
      decode_line(lines[first + l].data(), marker_count, rows.data() + l * static_cast<size_t>(marker_count));
    for (int m = 0; m < marker_count; ++m) {
      std::int8_t group[kGroup];
      for (size_t l = 0; l < kGroup; ++l) group[l] = rows[l * static_cast<size_t>(marker_count) + static_cast<size_t>(m)];
      std::memcpy(panel.column(m) + first, group, count);
    }
  }
}

}  // namespace

CodeMatrix read_haplotypes(const std::string& path, int marker_count, int haplotype_count, std::ostream& console) {
  if (is_binary_panel(path)) return read_binary_haplotypes(path, marker_count, haplotype_count);
  // Bytes the haplotype lines can take at most; more of a stream is not read.
  const size_t longest_line = 2 * static_cast<size_t>(marker_count) + 3;
  const size_t most_bytes = static_cast<size_t>(haplotype_count) > SIZE_MAX / longest_line
                                ? SIZE_MAX - 1
                                : static_cast<size_t>(haplotype_count) * longest_line;
  const auto text = read_file_text(path, most_bytes);
  if (!text) throw InputError(InputProblem::cannot_open, "find error for " + path + " \n", Channel::standard_output);
  const std::string_view all = *text;
  TextScanner scanner(all);
  // Every line is checked before the panel is allocated: a file holds no
  // more lines than it has bytes.
  std::vector<std::string_view> lines;
  lines.reserve(std::min(static_cast<size_t>(haplotype_count), all.size()));
  for (int i = 0; i < haplotype_count; ++i) {
    if (i % 1000 == 0) console << "read data=" << i << "\n";
    lines.push_back(haplotype_line(scanner, path, i, haplotype_count, marker_count, text->cut() ? all.end() : nullptr));
    check_codes(lines.back(), i, marker_count);
  }
  CodeMatrix haplotypes;
  haplotypes.allocate_unfilled(haplotype_count, marker_count);
  decode_lines(lines, haplotypes, marker_count);
  return haplotypes;
}

void read_reference_map(const std::string& path, ReferencePanel& panel) {
  const auto text = read_file_text(path);
  if (!text) throw InputError(InputProblem::cannot_open, "file open " + path + " have error\n", Channel::standard_output);

  const int marker_count = panel.marker_count;
  const auto markers = static_cast<size_t>(marker_count);
  // A record (a name, a position and two letters) takes at least 6 bytes.
  const size_t most_records = std::min(markers, text->view().size() / 6 + 1);
  panel.names.clear();
  panel.positions.clear();
  panel.letters.clear();
  panel.names.reserve(most_records);
  panel.positions.reserve(most_records);
  panel.letters.reserve(most_records);
  TextScanner scanner(*text);
  std::string_view token;
  for (int h = 0; h < 4; ++h)
    if (!scanner.next_token(token))
      throw inconsistent_file(path, "expected a header of 4 fields and " + std::to_string(marker_count) +
                                        " marker records, found end of file in the header");
  for (size_t j = 0; j < markers; ++j) {
    std::string_view name, position;
    char first = 0, second = 0;
    const bool have_name_and_position = scanner.next_token(name) && scanner.next_token(position);
    const long position_line = scanner.line();
    if (!have_name_and_position || !scanner.next_char(first) || !scanner.next_char(second))
      throw inconsistent_file(path, "expected " + std::to_string(marker_count) + " marker records, found " +
                                        std::to_string(j) + " complete ones");
    const auto value = parse_int(position);
    if (!value)
      throw malformed_line(path, position_line,
                           "expected an integer position for marker " + std::string(name) + ", found \"" +
                               std::string(position) + "\"");
    if (!scanner.at_word_end()) {  // a longer word, not two letters
      const long letters_line = scanner.line();
      std::string_view rest;
      scanner.next_token(rest);
      throw malformed_line(path, letters_line,
                           "expected two allele letters of one character each for marker " + std::string(name) +
                               ", found \"" + first + second + std::string(rest) + "\"");
    }
    panel.names.emplace_back(name);
    panel.positions.push_back(*value);
    panel.letters.push_back({first, second});
  }
}

ReferencePanel read_reference_panel(const std::string& haplotype_path, const std::string& map_path, int marker_count,
                                    int haplotype_count, std::ostream& console) {
  ReferencePanel panel;
  panel.haplotype_count = haplotype_count;
  panel.marker_count = marker_count;
  panel.haplotypes = read_haplotypes(haplotype_path, marker_count, haplotype_count, console);
  read_reference_map(map_path, panel);
  return panel;
}

std::optional<ReferencePanel> read_reference_panel_without_haplotypes(const std::string& haplotype_path,
                                                                      const std::string& map_path, int marker_count,
                                                                      int haplotype_count) {
  if (!is_binary_panel(haplotype_path)) return std::nullopt;
  auto sums = read_binary_code_sums(haplotype_path, marker_count, haplotype_count);
  if (!sums) return std::nullopt;
  ReferencePanel panel;
  panel.haplotype_count = haplotype_count;
  panel.marker_count = marker_count;
  panel.code_sums = std::move(*sums);
  read_reference_map(map_path, panel);
  return panel;
}

long panel_code_sum(const ReferencePanel& panel, int marker) {
  if (!panel.code_sums.empty()) return panel.code_sums[static_cast<size_t>(marker)];
  const std::int8_t* column = panel.haplotypes.column(marker);
  long sum = 0;
  for (int h = 0; h < panel.haplotype_count; ++h) sum += column[h];
  return sum;
}

}  // namespace snp
