// A study genotype file: read_genotype_group on a file of the input,
// with the counts, the group and the study map's letters taken from its
// first bytes. The codes are compared with a plain reading of the documented
// format (identifier, second word, then two letters per marker each followed
// by one blank; the first line with leading blanks fixes where the letters
// start; short lines give missing genotypes), so that the vectorised coding
// can give no wrong code.
#include <vector>

#include "fuzz_support.h"
#include "input/study_reader.h"
#include "base/text_source.h"

using namespace snp;

namespace {

constexpr char kLetters[] = "ACGT-0Nx";

struct PlainReading {
  bool ok = false;
  std::vector<std::vector<int>> codes;  // per sample
  std::vector<std::string> ids;
};

PlainReading plain_reading(std::string_view text, const std::vector<AllelePair>& letters, int samples) {
  const int n = static_cast<int>(letters.size());
  PlainReading r;
  size_t pos = 0;
  auto word = [&](std::string_view& w) {
    while (pos < text.size() && is_space(text[pos])) ++pos;
    if (pos >= text.size()) return false;
    const size_t start = pos;
    while (pos < text.size() && !is_space(text[pos])) ++pos;
    w = text.substr(start, pos - start);
    return true;
  };
  size_t offset = 0;
  for (int s = 0; s < samples; ++s) {
    std::string_view id, second;
    if (!word(id) || !word(second)) return r;
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string rest(text.substr(pos, end - pos));
    pos = end == text.size() ? end : end + 1;
    if (offset == 0)
      while (offset < rest.size() && offset < 2 * static_cast<size_t>(n) && rest[offset] == ' ') ++offset;
    if (rest.size() < offset + 4 * static_cast<size_t>(n)) rest.resize(offset + 4 * static_cast<size_t>(n), '0');
    std::vector<int> row;
    for (int m = 0; m < n; ++m) {
      const char max = letters[static_cast<size_t>(m)][0], min = letters[static_cast<size_t>(m)][1];
      const char a = rest[offset + 4 * static_cast<size_t>(m)], b = rest[offset + 4 * static_cast<size_t>(m) + 2];
      int code = -1;
      if (max != '-' && (a == max || a == min) && (b == max || b == min)) code = (a == min) + (b == min);
      row.push_back(code);
    }
    r.codes.push_back(std::move(row));
    r.ids.emplace_back(id);
  }
  r.ok = true;
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int markers = 1 + data[0] % 40;  // 40: several blocks of eight markers
  const int samples = 1 + data[1] % 70;  // 70: more than one group of 64
  const bool controls = data[2] & 1;
  size_t used = 3;
  std::vector<AllelePair> letters;
  std::string map;
  for (int m = 0; m < markers; ++m) {
    AllelePair pair{};
    for (char& c : pair) c = used < size ? kLetters[data[used++] % 8] : 'A';
    letters.push_back(pair);
    map += "7 " + std::to_string(m) + " rs" + std::to_string(m) + " " + pair[0] + " " + pair[1] + " 0 0 0\n";
  }
  const std::string_view text = fuzz::as_text(data + used, size - used);
  fuzz::write_scratch("study.map", map);
  const std::string path = fuzz::write_scratch("study.geno", text);

  const GenotypeGroup group{fuzz::scratch_dir() + "/study.map", path, 7, controls, samples};
  std::vector<std::string> ids;
  const int first_row = controls ? 1 : 0;  // rows of another group before it
  CodeMatrix rows(first_row + samples, markers, 99);

  const PlainReading expected = plain_reading(text, letters, samples);
  try {
    read_genotype_group(group, markers, rows, first_row, ids, fuzz::null_stream());
  } catch (const InputError& e) {
    FUZZ_CHECK(!expected.ok, std::string("rejected a well-formed file: ") + e.what());
    FUZZ_CHECK(fuzz::contains(e.what(), path), std::string("message without the file: ") + e.what());
    return 0;
  }
  FUZZ_CHECK(expected.ok, "accepted a file with too few sample lines");
  for (int s = 0; s < samples; ++s) {
    FUZZ_CHECK(ids[static_cast<size_t>(first_row + s)] == expected.ids[static_cast<size_t>(s)],
               "wrong identifier of sample " + std::to_string(s));
    for (int m = 0; m < markers; ++m)
      FUZZ_CHECK(rows(first_row + s, m) == expected.codes[static_cast<size_t>(s)][static_cast<size_t>(m)],
                 "sample " + std::to_string(s) + " marker " + std::to_string(m) + ": code " +
                     std::to_string(rows(first_row + s, m)) + ", file says " +
                     std::to_string(expected.codes[static_cast<size_t>(s)][static_cast<size_t>(m)]));
  }
  for (int m = 0; m < markers; ++m) {
    if (first_row) FUZZ_CHECK(rows(0, m) == 99, "row of the other group overwritten");
    FUZZ_CHECK(rows(first_row + samples, m) == 99, "spare row overwritten");
  }
  return 0;
}
