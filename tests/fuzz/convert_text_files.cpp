// snp-convert's text readers: the case list (parse_case_ids), and a
// converted panel's reference map (parse_reference_map) and haplotype file
// (count_haplotype_lines, with the marker count taken from the first byte),
// on the exact bytes of the input.
#include <algorithm>
#include <set>

#include "convert/panel_directory.h"
#include "convert/study_converter.h"
#include "fuzz_support.h"
#include "base/text_source.h"
#include "base/errors.h"

using namespace snp;
using namespace snp::convert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t markers = data[0] % 64;
  const std::string_view text = fuzz::as_text(data + 1, size - 1);

  try {
    const std::vector<std::string> ids = parse_case_ids(text, "cases.txt");
    FUZZ_CHECK(std::set<std::string>(ids.begin(), ids.end()).size() == ids.size(), "repeated case ID");
    for (const std::string& id : ids)
      FUZZ_CHECK(!id.empty() && id[0] != '#' && std::none_of(id.begin(), id.end(), is_space), "bad case ID");
  } catch (const InputError&) {  // a line of several words
  }

  // The map by the format: a four-word header, then records of a name, an
  // integer position and two one-character letters (adjacent or separated).
  const std::vector<std::string_view> words = fuzz::words_of(text);
  std::vector<ConvertedMarker> expected;
  bool well_formed = words.size() > 4;
  for (size_t at = 4; well_formed && at < words.size();) {
    ConvertedMarker m;
    m.name = std::string(words[at]);
    const auto position = at + 1 < words.size() ? parse_int(words[at + 1]) : std::nullopt;
    at += 2;
    well_formed = fuzz::two_letters(words, at, m.ref, m.alt) && position;
    m.position = position.value_or(0);
    expected.push_back(m);
  }
  try {
    const std::vector<ConvertedMarker> map = parse_reference_map(text, "hapmap.map");
    FUZZ_CHECK(well_formed && map.size() == expected.size(), "accepted a malformed reference map");
    for (size_t j = 0; j < map.size(); ++j)
      FUZZ_CHECK(map[j].name == expected[j].name && map[j].position == expected[j].position &&
                     map[j].ref == expected[j].ref && map[j].alt == expected[j].alt,
                 "reference map record " + std::to_string(j + 1) + " read differently from the text");
  } catch (const InputError& e) {
    FUZZ_CHECK(!well_formed, std::string("rejected a well-formed reference map: ") + e.what());
    FUZZ_CHECK(fuzz::contains(e.what(), "hapmap.map"), std::string("message without the file: ") + e.what());
  }
  try {
    FUZZ_CHECK(count_haplotype_lines(text, "hapmap.hap", markers) >= 1, "haplotype file without lines accepted");
  } catch (const InputError& e) {
    FUZZ_CHECK(fuzz::contains(e.what(), "hapmap.hap"), std::string("message without the file: ") + e.what());
  }
  return 0;
}
