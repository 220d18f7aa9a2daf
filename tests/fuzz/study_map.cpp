// The study map: parse_study_map on the exact bytes of the input, with the
// marker count taken from its first byte, compared with a plain reading of
// the format (per marker eight fields: two words, the name, the two
// one-character letters, adjacent or separated, and three words).
#include <algorithm>
#include <optional>

#include "fuzz_support.h"
#include "input/study_reader.h"

using namespace snp;

namespace {

std::optional<StudyMap> plain_reading(std::string_view text, int markers) {
  const std::vector<std::string_view> words = fuzz::words_of(text);
  StudyMap map;
  size_t at = 0;
  for (int k = 0; k < markers; ++k) {
    if (at + 3 > words.size()) return std::nullopt;
    map.names.emplace_back(words[at + 2]);
    at += 3;
    AllelePair letters{};
    if (!fuzz::two_letters(words, at, letters[0], letters[1]) || at + 3 > words.size()) return std::nullopt;
    map.letters.push_back(letters);
    at += 3;
  }
  return map;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int markers = 1 + data[0] % 64;
  const std::string_view text = fuzz::as_text(data + 1, size - 1);
  const auto expected = plain_reading(text, markers);
  StudyMap map;
  try {
    map = parse_study_map(text, "normal.map", markers);
  } catch (const InputError& e) {
    FUZZ_CHECK(!expected, std::string("rejected a well-formed map: ") + e.what());
    FUZZ_CHECK(fuzz::contains(e.what(), "normal.map"), std::string("message without the file: ") + e.what());
    return 0;
  }
  FUZZ_CHECK(expected.has_value(), "accepted a malformed map");
  FUZZ_CHECK(map.names == expected->names && map.letters == expected->letters, "map read differently from the text");
  FUZZ_CHECK(map.names.size() == static_cast<size_t>(markers) && map.letters.size() == static_cast<size_t>(markers),
             "map of the wrong size");
  for (int k = 0; k < markers; ++k) {
    const std::string& name = map.names[static_cast<size_t>(k)];
    FUZZ_CHECK(!name.empty() && std::none_of(name.begin(), name.end(), is_space), "empty name or name with blanks");
    for (char letter : map.letters[static_cast<size_t>(k)]) FUZZ_CHECK(!is_space(letter), "blank allele letter");
  }
  return 0;
}
