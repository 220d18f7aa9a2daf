#include "input/study_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <ostream>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/text_source.h"

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
  std::vector<char> max_letters;
  std::vector<char> min_letters;
  // Each marker's letters repeated at the byte positions of its two alleles
  // in the genotype text (bytes 0 and 2 of its four characters).
  std::vector<std::uint32_t> max_patterns;
  std::vector<std::uint32_t> min_patterns;
  std::vector<int> never_coded;  // markers whose code is always -1
  bool chr17_exception = false;
};

std::uint32_t letter_pattern(char c) {
  const auto byte = static_cast<std::uint32_t>(static_cast<unsigned char>(c));
  return byte | byte << 16;
}

GroupCoding group_coding(const StudyMap& map, int n, int current_chr, bool controls) {
  GroupCoding g;
  for (int m = 0; m < n; ++m) {
    const AllelePair& letters = map.letters[static_cast<size_t>(m)];
    g.max_letters.push_back(letters[0]);
    g.min_letters.push_back(letters[1]);
    g.max_patterns.push_back(letter_pattern(letters[0]));
    g.min_patterns.push_back(letter_pattern(letters[1]));
    if (letters[0] == '-' || (current_chr == 10 && m == kChr10SkippedMarker)) g.never_coded.push_back(m);
  }
  g.chr17_exception = controls && current_chr == 17 && n > kChr17Marker;
  return g;
}

// Codes of the markers eight at a time from the genotype text p (four
// characters per marker, at least 4n readable); returns the first marker not
// coded.
int code_markers_in_bulk([[maybe_unused]] const char* p, [[maybe_unused]] const GroupCoding& g,
                         [[maybe_unused]] int n, [[maybe_unused]] std::int8_t* cells) {
  int m = 0;
#ifdef __SSE2__
  const __m128i allele_bytes = _mm_set1_epi32(0x00010001);
  auto four = [&](int first) {
    const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * first));
    const __m128i mins = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g.min_patterns.data() + first));
    const __m128i maxs = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g.max_patterns.data() + first));
    const __m128i is_min = _mm_and_si128(_mm_cmpeq_epi8(text, mins), allele_bytes);
    const __m128i is_letter = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(text, mins), _mm_cmpeq_epi8(text, maxs)),
                                            allele_bytes);
    // Per marker: copies of the minimum letter, and the number of alleles
    // that are one of the two letters (2 when the genotype is known).
    const __m128i copies = _mm_and_si128(_mm_add_epi32(is_min, _mm_srli_epi32(is_min, 16)), _mm_set1_epi32(0xFF));
    const __m128i letters = _mm_and_si128(_mm_add_epi32(is_letter, _mm_srli_epi32(is_letter, 16)), _mm_set1_epi32(0xFF));
    const __m128i known = _mm_cmpeq_epi32(letters, _mm_set1_epi32(2));
    return _mm_or_si128(_mm_and_si128(known, copies), _mm_andnot_si128(known, _mm_set1_epi32(-1)));
  };
  for (; m + 8 <= n; m += 8) {
    const __m128i codes16 = _mm_packs_epi32(four(m), four(m + 4));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(cells + m), _mm_packs_epi16(codes16, codes16));
  }
#endif
  return m;
}

// Letters of marker m stand at offset + 4m and offset + 4m + 2; letters past
// the end of a short line count as missing ("0").
void code_sample_line(std::string_view rest, int offset, int sample, const GroupCoding& g, std::int8_t* cells) {
  const int n = static_cast<int>(g.max_letters.size());
  const size_t needed = static_cast<size_t>(offset) + 4 * static_cast<size_t>(n);
  std::string padded;
  if (rest.size() < needed) {
    padded.assign(rest);
    padded.resize(needed, '0');
    rest = padded;
  }
  const char* p = rest.data() + offset;
  for (int m = code_markers_in_bulk(p, g, n, cells); m < n; ++m)
    cells[m] = code_genotype(p[4 * m], p[4 * m + 2], g.max_letters[static_cast<size_t>(m)],
                             g.min_letters[static_cast<size_t>(m)]);
  for (int m : g.never_coded) cells[m] = -1;
  if (g.chr17_exception && (sample == kChr17SampleA || sample == kChr17SampleB)) {
    const int m = kChr17Marker;
    const char first = p[4 * m];
    const char max_letter = g.max_letters[m], min_letter = g.min_letters[m];
    // An unknown first letter counts as one copy of the minimum letter.
    if (max_letter != '-' && first != min_letter && first != max_letter && first != '0')
      cells[m] = code_genotype(min_letter, p[4 * m + 2], max_letter, min_letter);
  }
}

}  // namespace

StudyMap parse_study_map(std::string_view text, const std::string& path, int marker_count) {
  StudyMap map;
  // A record (seven words and two letters) takes at least 14 bytes.
  const size_t most_records = std::min(static_cast<size_t>(marker_count), text.size() / 14 + 1);
  map.names.reserve(most_records);
  map.letters.reserve(most_records);
  TextScanner scanner(text);
  std::string_view skipped, name;
  char max_letter = 0, min_letter = 0;
  for (int k = 0; k < marker_count; ++k) {
    bool complete = scanner.next_token(skipped) && scanner.next_token(skipped) && scanner.next_token(name) &&
                    scanner.next_char(max_letter) && scanner.next_char(min_letter);
    if (complete && !scanner.at_word_end()) {  // a longer word, not two letters
      const long letters_line = scanner.line();
      std::string_view rest;
      scanner.next_token(rest);
      throw malformed_line(path, letters_line,
                           "expected allele letters of one character each in fields 4 and 5 of marker " +
                               std::string(name) + ", found \"" + max_letter + min_letter + std::string(rest) + "\"");
    }
    complete = complete && scanner.next_token(skipped) && scanner.next_token(skipped) && scanner.next_token(skipped);
    if (!complete)
      throw inconsistent_file(path, "expected " + std::to_string(marker_count) + " marker records of 8 fields, found " +
                                        std::to_string(k) + " complete ones");
    map.names.emplace_back(name);
    map.letters.push_back({max_letter, min_letter});
  }
  return map;
}

StudyMap read_study_map(const std::string& path, int marker_count) {
  const auto text = read_file_text(path);
  if (!text) throw InputError(InputProblem::cannot_open, "file open " + path + " have error\n", Channel::standard_output);
  return parse_study_map(*text, path, marker_count);
}

namespace {

// One group's genotype file split into its sample lines, checked against the
// group's count before any table of that size is allocated.
struct GroupLines {
  GroupCoding coding;
  FileText text;
  std::vector<std::string_view> ids;
  std::vector<std::string_view> rests;  // each line after its second word
};

GroupLines read_group_lines(const GenotypeGroup& group, int n, std::ostream& console) {
  const std::string& map_path = group.map_path;
  const auto map_text = read_file_text(map_path);
  if (!map_text)
    throw InputError(InputProblem::cannot_open, "open file " + map_path + " have error\n", Channel::standard_output,
                     /*wait_for_keystroke=*/true);
  console << "read chromosome " << group.chromosome
          << " maximum Allele Letter and minimum Allele Letter information\n";
  const StudyMap map = parse_study_map(*map_text, map_path, n);

  const std::string& geno_path = group.genotype_path;
  auto geno_text = read_file_text(geno_path);
  if (!geno_text)
    throw InputError(InputProblem::cannot_open, "open file " + geno_path + " have some error\n",
                     Channel::standard_output);
  GroupLines g{group_coding(map, n, group.chromosome, group.controls), std::move(*geno_text), {}, {}};
  const int count = group.individuals;
  // A file holds no more lines than it has bytes.
  const size_t most_lines = std::min(static_cast<size_t>(count), g.text.view().size());
  g.ids.reserve(most_lines);
  g.rests.reserve(most_lines);
  TextScanner scanner(g.text);
  for (int j = 0; j < count; ++j) {
    std::string_view id, second_word;
    if (!scanner.next_token(id) || !scanner.next_token(second_word))
      throw malformed_line(geno_path, scanner.line(),
                           "expected " + std::to_string(count) + " sample lines, found " + std::to_string(j));
    g.ids.push_back(id);
    g.rests.push_back(scanner.rest_of_line());
  }
  return g;
}

// Codes the group's lines into rows first_row.. of `rows` and keeps their
// identifiers in ids[first_row..].
void code_group(const GroupLines& g, CodeMatrix& rows, int first_row, std::vector<std::string>& ids) {
  const int count = static_cast<int>(g.ids.size());
  const int n = static_cast<int>(g.coding.max_letters.size());
  if (ids.size() < static_cast<size_t>(first_row + count)) ids.resize(static_cast<size_t>(first_row + count));
  int offset = 0;
  // Lines are coded into row buffers 64 at a time; each marker column then
  // receives the group's codes as one cache line.
  constexpr int kGroup = 64;
  std::vector<std::int8_t> buffer(static_cast<size_t>(kGroup) * static_cast<size_t>(n));
  for (int group_start = 0; group_start < count; group_start += kGroup) {
    const int group_size = std::min(kGroup, count - group_start);
    for (int l = 0; l < group_size; ++l) {
      const auto j = static_cast<size_t>(group_start + l);
      const std::string_view rest = g.rests[j];
      ids[static_cast<size_t>(first_row) + j] = std::string(g.ids[j]);
      if (offset == 0) offset = leading_blanks(rest, n);
      code_sample_line(rest, offset, group_start + l, g.coding,
                       buffer.data() + static_cast<size_t>(l) * static_cast<size_t>(n));
    }
    for (int m = 0; m < n; ++m) {
      std::int8_t codes[kGroup];
      for (int l = 0; l < kGroup; ++l) codes[l] = buffer[static_cast<size_t>(l) * static_cast<size_t>(n) + static_cast<size_t>(m)];
      std::memcpy(rows.column(m) + first_row + group_start, codes, static_cast<size_t>(group_size));
    }
  }
}

}  // namespace

void read_genotype_group(const GenotypeGroup& group, int n, CodeMatrix& rows, int first_row, std::vector<std::string>& ids,
                         std::ostream& console) {
  code_group(read_group_lines(group, n, console), rows, first_row, ids);
}

StudyGenotypes read_study_genotypes(const GenotypeGroup& cases, const GenotypeGroup& controls, int marker_count,
                                    std::ostream& console) {
  // Both files are read and split into lines first, so that a count larger
  // than a file can hold fails before the study table is allocated.
  std::optional<GroupLines> case_lines, control_lines;
  if (cases.individuals > 0) case_lines = read_group_lines(cases, marker_count, console);
  if (controls.individuals > 0) control_lines = read_group_lines(controls, marker_count, console);
  StudyGenotypes study;
  study.individuals = cases.individuals + controls.individuals;
  study.codes.allocate(study.individuals, marker_count);
  if (case_lines) code_group(*case_lines, study.codes, 0, study.ids);
  if (control_lines) code_group(*control_lines, study.codes, cases.individuals, study.ids);
  for (int s = 0; s < study.individuals; ++s) study.status.push_back(s < cases.individuals ? 1 : 0);
  return study;
}

}  // namespace snp
