// The reference map: read_reference_map on a file of the input, with
// the marker count taken from its first byte, compared with a plain reading
// of the format (a header of four words, then per marker a name, an integer
// position and two one-character letters, adjacent or separated).
#include <algorithm>
#include <optional>

#include "fuzz_support.h"
#include "input/reference_panel.h"

using namespace snp;

namespace {

struct Record {
  std::string_view name;
  int position;
  AllelePair letters;
};

std::optional<std::vector<Record>> plain_reading(std::string_view text, int markers) {
  const std::vector<std::string_view> words = fuzz::words_of(text);
  std::vector<Record> records;
  size_t at = 4;
  if (words.size() < at) return std::nullopt;
  for (int j = 0; j < markers; ++j) {
    Record r{};
    if (at + 2 > words.size()) return std::nullopt;
    r.name = words[at];
    const auto position = parse_int(words[at + 1]);
    at += 2;
    if (!fuzz::two_letters(words, at, r.letters[0], r.letters[1]) || !position) return std::nullopt;
    r.position = *position;
    records.push_back(r);
  }
  return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int markers = 1 + data[0] % 64;
  const std::string path = fuzz::write_scratch("panel.map", fuzz::as_text(data + 1, size - 1));

  ReferencePanel panel;
  panel.marker_count = markers;
  const auto expected = plain_reading(fuzz::as_text(data + 1, size - 1), markers);
  try {
    read_reference_map(path, panel);
  } catch (const InputError& e) {
    FUZZ_CHECK(!expected, std::string("rejected a well-formed map: ") + e.what());
    FUZZ_CHECK(fuzz::contains(e.what(), path), std::string("message without the file: ") + e.what());
    return 0;
  }
  FUZZ_CHECK(expected.has_value(), "accepted a malformed map");
  FUZZ_CHECK(panel.names.size() == static_cast<size_t>(markers) &&
                 panel.letters.size() == static_cast<size_t>(markers) &&
                 panel.positions.size() == static_cast<size_t>(markers),
             "marker tables of the wrong size");
  for (int j = 0; j < markers; ++j) {
    const std::string& name = panel.names[static_cast<size_t>(j)];
    FUZZ_CHECK(!name.empty() && std::none_of(name.begin(), name.end(), is_space), "empty name or name with blanks");
    const Record& r = (*expected)[static_cast<size_t>(j)];
    FUZZ_CHECK(name == r.name && panel.positions[static_cast<size_t>(j)] == r.position &&
                   panel.letters[static_cast<size_t>(j)] == r.letters,
               "marker " + std::to_string(j) + " read differently from the file");
  }
  return 0;
}
