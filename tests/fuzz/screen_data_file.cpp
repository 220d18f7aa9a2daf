// snp-screen's "CaseAndControlData.txt": read_case_control_counts on a file
// of the input, by one reader and by several (a few bytes per thread), and
// each line's status and codes on a heap copy of exactly the line
// (parse_status, MarkerCounts::add_line with its vectorised blocks,
// decode_line), where AddressSanitizer sees any read past the text. The
// marker count, sample count and thread share come from the first bytes.
// Everything is compared with a plain reading of the format: the status
// (blanks, a sign, digits within 16 bits), then per marker 0, 1, 2 or -1
// with blanks skipped, up to the first other character; later markers are
// missing.
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "fuzz_support.h"
#include "base/errors.h"
#include "screen/case_control_file.h"

using namespace snp;
using namespace snp::screen;

namespace {

struct PlainLine {
  std::optional<int> status;
  std::vector<int> codes;  // -1 for missing
};

PlainLine plain_line(std::string_view line, int markers) {
  PlainLine r;
  r.codes.assign(static_cast<size_t>(markers), -1);
  size_t p = 0;
  while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
  const bool negative = p < line.size() && line[p] == '-';
  if (p < line.size() && (line[p] == '-' || line[p] == '+')) ++p;
  if (p == line.size() || line[p] < '0' || line[p] > '9') return r;
  long value = 0;
  for (; p < line.size() && line[p] >= '0' && line[p] <= '9'; ++p) {
    value = value * 10 + (line[p] - '0');
    if (value > 32768) return r;
  }
  if (negative) value = -value;
  if (value > 32767) return r;
  r.status = static_cast<int>(value);
  int j = 0;
  while (j < markers && p < line.size()) {
    const char c = line[p];
    if (c >= '0' && c <= '2') {
      r.codes[static_cast<size_t>(j++)] = c - '0';
      ++p;
    } else if (c == ' ' || c == '\t') {
      ++p;
    } else if (c == '-' && p + 1 < line.size() && line[p + 1] == '1') {
      ++j;
      p += 2;
    } else {
      break;
    }
  }
  return r;
}

void check_counts(const MarkerCounts& counts, const std::vector<std::array<std::array<int, 4>, 2>>& expected,
                  const char* how) {
  for (size_t j = 0; j < expected.size(); ++j) {
    const GenotypeCounts got = counts.at(static_cast<int>(j));
    FUZZ_CHECK(got.cases == expected[j][0] && got.controls == expected[j][1],
               std::string(how) + ": counts of marker " + std::to_string(j) + " differ from the text");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int markers = 1 + data[0] % 48;  // 48: vector blocks of 8 and 16 and the rest
  // Mostly a few lines; 256 to 261 pass the byte counters' flush after 255.
  const int samples = data[1] < 250 ? 1 + data[1] % 16 : 6 + data[1];
  const size_t bytes_per_thread = 1 + data[2] % 64;
  const std::string_view text = fuzz::as_text(data + 3, size - 3);

  // The plain reading of the first `samples` lines.
  std::vector<std::array<std::array<int, 4>, 2>> expected(static_cast<size_t>(markers));
  std::optional<long> bad_line;  // line without a status
  long lines = 0;
  MarkerCounts heap_counts(markers);
  for (size_t start = 0; start < text.size() && lines < samples && !bad_line;) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const PlainLine plain = plain_line(line, markers);

    // The library's line functions on exactly the line's bytes.
    const auto copy = std::make_unique<char[]>(line.size() + 1);
    std::copy(line.begin(), line.end(), copy.get());
    const char* p = copy.get();
    const char* const stop = copy.get() + line.size();
    const auto status = parse_status(p, stop);
    const auto decoded = decode_line(std::string_view(copy.get(), line.size()), markers);
    FUZZ_CHECK(status.has_value() == plain.status.has_value() && decoded.has_value() == plain.status.has_value(),
               "status found where the text has none, or missed");
    if (!plain.status) {
      bad_line = lines + 1;
      break;
    }
    FUZZ_CHECK(*status == *plain.status && decoded->status == *plain.status, "status read differently");
    for (int j = 0; j < markers; ++j)
      FUZZ_CHECK(decoded->codes[static_cast<size_t>(j)] == plain.codes[static_cast<size_t>(j)],
                 "decode_line: code of marker " + std::to_string(j) + " differs from the text");
    heap_counts.add_line(*status, p, stop);
    const int group = *plain.status == 1 ? 0 : 1;
    for (size_t j = 0; j < expected.size(); ++j) {
      const int code = plain.codes[j];
      ++expected[j][static_cast<size_t>(group)][3];
      if (code >= 0) {
        ++expected[j][static_cast<size_t>(group)][static_cast<size_t>(code)];
        --expected[j][static_cast<size_t>(group)][3];
      }
    }
    ++lines;
  }
  if (!bad_line) check_counts(heap_counts, expected, "add_line");

  const std::string path = fuzz::write_scratch("CaseAndControlData.txt", text);
  for (const size_t share : {kBytesPerThread, bytes_per_thread}) {
    try {
      const MarkerCounts counts = read_case_control_counts(path, samples, markers, share);
      FUZZ_CHECK(!bad_line && lines == samples, "accepted a file without a status or with too few lines");
      check_counts(counts, expected, share == kBytesPerThread ? "one reader" : "several readers");
    } catch (const InputError& e) {
      FUZZ_CHECK(bad_line || lines < samples, std::string("rejected a well-formed file: ") + e.what());
      const std::string where = bad_line ? "Error: line " + std::to_string(*bad_line) + " of " + path
                                         : "Error: " + path + ": expected " + std::to_string(samples) + " lines";
      FUZZ_CHECK(fuzz::contains(e.what(), where), "message \"" + std::string(e.what()) + "\", expected \"" + where + "\"");
    }
  }
  return 0;
}
