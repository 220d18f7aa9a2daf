// The reference haplotype file: read_haplotypes on a file of the input,
// with the marker and haplotype counts taken from its first two bytes. The
// panel it fills is compared with a plain reading of the documented format
// (one line per haplotype, codes 1 0 ? at even positions, at most two
// characters past the last code), so that the vectorised decoding can give
// neither a wrong code nor a wrong verdict.
#include <vector>

#include "fuzz_support.h"
#include "input/reference_panel.h"

using namespace snp;

namespace {

// Codes per haplotype by the documented format; empty when the file is bad.
std::vector<std::vector<int>> plain_reading(std::string_view text, int markers, int haplotypes) {
  std::vector<std::vector<int>> codes;
  size_t pos = 0;
  for (int h = 0; h < haplotypes; ++h) {
    if (pos >= text.size()) return {};
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.size() + 1 < 2 * static_cast<size_t>(markers) || line.size() > 2 * static_cast<size_t>(markers) + 2)
      return {};
    std::vector<int> row;
    for (int m = 0; m < markers; ++m) {
      const char c = line[2 * static_cast<size_t>(m)];
      if (c != '0' && c != '1' && c != '?') return {};
      row.push_back(c == '?' ? -1 : c - '0');
    }
    codes.push_back(std::move(row));
  }
  return codes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int markers = 1 + data[0] % 80;  // 80: several vector blocks per line
  const int haplotypes = 1 + data[1] % 70;  // 70: more than one group of 64
  const std::string_view text = fuzz::as_text(data + 2, size - 2);
  const std::string path = fuzz::write_scratch("panel.hap", text);

  CodeMatrix panel(haplotypes, markers, 99);
  const auto expected = plain_reading(text, markers, haplotypes);
  try {
    read_haplotypes(path, panel, markers, haplotypes, fuzz::null_stream());
  } catch (const InputError& e) {
    FUZZ_CHECK(expected.empty(), std::string("rejected a well-formed file: ") + e.what());
    FUZZ_CHECK(fuzz::contains(e.what(), path) || fuzz::contains(e.what(), "find error at reading population data"),
               std::string("message without the file: ") + e.what());
    return 0;
  }
  FUZZ_CHECK(!expected.empty(), "accepted a malformed file");
  for (int h = 0; h < haplotypes; ++h)
    for (int m = 0; m < markers; ++m)
      FUZZ_CHECK(panel(h, m) == expected[static_cast<size_t>(h)][static_cast<size_t>(m)],
                 "haplotype " + std::to_string(h) + " marker " + std::to_string(m) + ": code " +
                     std::to_string(panel(h, m)) + ", file says " +
                     std::to_string(expected[static_cast<size_t>(h)][static_cast<size_t>(m)]));
  for (int m = 0; m < markers; ++m) FUZZ_CHECK(panel(haplotypes, m) == 99, "spare row overwritten");
  return 0;
}
