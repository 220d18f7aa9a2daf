// The genome-wide case/control data file: one line per individual, the
// status (1 = case, any other value = control) and then one genotype code
// per marker ("0", "1", "2", or "-1" for missing), with or without blanks
// between the codes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "single_marker/single_marker_tests.h"

namespace snp::screen {

inline constexpr const char* kDataFileName = "CaseAndControlData.txt";

bool is_blank(char c);

// Reads the status at p (before end): blanks, an optional sign and decimal
// digits within the 16-bit range. Advances p past it; nullopt when there is
// none.
std::optional<short> parse_status(const char*& p, const char* end);

// Decodes up to `markers` codes from [p, end), calling sink(j, code) for
// code j (0, 1, 2 or -1). Blanks (spaces, tabs) between codes are skipped;
// parsing stops at the first other character (such as the line end).
// Returns the number of codes found.
template <class Sink>
int parse_codes(const char* p, const char* end, int markers, Sink&& sink) {
  int j = 0;
  while (j < markers && p < end) {
    const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit <= 2) {
      sink(j, static_cast<int>(digit));
      ++p;
    } else if (is_blank(*p)) {
      ++p;
      continue;
    } else if (*p == '-' && end - p >= 2 && p[1] == '1') {
      sink(j, -1);
      p += 2;
    } else {
      break;
    }
    ++j;
  }
  return j;
}

// One individual's line decoded whole; markers after the last code found
// are missing (-1).
struct DecodedLine {
  short status = 0;
  std::vector<std::int8_t> codes;
};

// Decodes one line (without its line end); nullopt when it has no status.
std::optional<DecodedLine> decode_line(std::string_view line, int markers);

// Per-marker genotype counts of the cases and of the controls. The codes 0,
// 1 and 2 are tallied in byte counters that are added to the totals every
// 255 lines of a group; the missing count is the rest of the group's rows.
class MarkerCounts {
 public:
  explicit MarkerCounts(int markers);
  int markers() const { return markers_; }
  int case_rows() const { return groups_[kCase].rows; }
  int control_rows() const { return groups_[kControl].rows; }
  // Adds one individual's codes, from p up to the first character that is
  // not a code or a blank (or end); markers after the last code found are
  // missing. Returns where the codes stopped.
  const char* add_line(short status, const char* p, const char* end);
  // Codes found on the line added last, and on the longest line so far.
  int last_line_codes() const { return last_line_codes_; }
  int longest_line_codes() const { return longest_line_codes_; }
  // Adds the counts of other lines of the same markers.
  void merge(MarkerCounts& other);
  // Counts of one marker; entry 3 of each group is its missing count.
  GenotypeCounts at(int marker) const;

 private:
  static constexpr int kCase = 0;
  static constexpr int kControl = 1;
  struct Group {
    std::array<std::vector<std::uint8_t>, 3> pending;  // per code, since the last flush
    std::array<std::vector<std::uint32_t>, 3> total;
    int rows = 0;
    int rows_since_flush = 0;
    explicit Group(size_t markers);
    void flush();
    // Tallies the codes in [p, end), `found` of them; returns where they stopped.
    const char* count_codes(const char* p, const char* end, int markers, int& found);
  };
  int markers_;
  std::array<Group, 2> groups_;
  int last_line_codes_ = 0;
  int longest_line_codes_ = 0;
};

// Files above this size are read by several threads, one per byte range.
inline constexpr size_t kBytesPerThread = size_t{32} << 20;

// Reads the first `samples` lines of the file at `path` into counts over
// `markers` markers, in parallel on files of at least two times
// `bytes_per_thread`. Throws InputError when the
// file cannot be opened ("file open PATH not good", standard output) or
// read, has fewer lines, a line lacks its status, or a line's codes stop
// before its end at a character that is no code, blank or tab.
MarkerCounts read_case_control_counts(const std::string& path, int samples, int markers,
                                      size_t bytes_per_thread = kBytesPerThread);

}  // namespace snp::screen
