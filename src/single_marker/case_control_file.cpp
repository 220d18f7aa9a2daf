#include "single_marker/case_control_file.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "base/errors.h"
#include "base/parallel.h"
#include "single_marker/mapped_file.h"

namespace snp::screen {
namespace {

// Byte counters are flushed before they could pass 255.
constexpr int kFlushRows = 255;

}  // namespace

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::optional<short> parse_status(const char*& p, const char* end) {
  const auto is_digit = [end](const char* at) { return at < end && *at >= '0' && *at <= '9'; };
  const char* q = p;
  while (q < end && is_blank(*q)) ++q;
  const bool negative = q < end && *q == '-';
  if (q < end && (*q == '-' || *q == '+')) ++q;
  if (!is_digit(q)) return std::nullopt;
  long value = 0;
  for (; is_digit(q); ++q) {
    value = value * 10 + (*q - '0');
    if (value > std::numeric_limits<short>::max() + 1L) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<short>::max()) return std::nullopt;
  p = q;
  return static_cast<short>(value);
}

std::optional<DecodedLine> decode_line(std::string_view line, int markers) {
  const char* p = line.data();
  const char* const end = line.data() + line.size();
  const auto status = parse_status(p, end);
  if (!status) return std::nullopt;
  DecodedLine decoded{*status, std::vector<std::int8_t>(static_cast<size_t>(markers), -1)};
  parse_codes(p, end, markers,
              [&](int j, int code) { decoded.codes[static_cast<size_t>(j)] = static_cast<std::int8_t>(code); });
  return decoded;
}

MarkerCounts::Group::Group(size_t markers) {
  for (auto& counters : pending) counters.resize(markers);
  for (auto& counters : total) counters.resize(markers);
}

void MarkerCounts::Group::flush() {
  for (size_t code = 0; code < 3; ++code) {
    auto& counters = pending[code];
    for (size_t j = 0; j < counters.size(); ++j) total[code][j] += counters[j];
    std::fill(counters.begin(), counters.end(), 0);
  }
  rows_since_flush = 0;
}

const char* MarkerCounts::Group::count_codes(const char* p, const char* end, int markers, int& found) {
  std::uint8_t* const zero = pending[0].data();
  std::uint8_t* const one = pending[1].data();
  std::uint8_t* const two = pending[2].data();
  int j = 0;
  // Codes are taken one at a time up to `stop`; false at a character that
  // ends the codes.
  const auto scalar = [&](const char* stop) {
    while (j < markers && p < stop) {
      const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
      if (digit <= 2) {
        ++pending[digit][static_cast<size_t>(j)];
        ++p;
      } else if (is_blank(*p)) {
        ++p;
        continue;
      } else if (*p == '-' && end - p >= 2 && p[1] == '1') {
        p += 2;
      } else {
        return false;
      }
      ++j;
    }
    return true;
  };
#if defined(__SSE2__)
  // Blocks of text in one of the two regular layouts, "d d d d d d d d "
  // (8 codes in 16 bytes) or "dddddddddddddddd" (16 codes), are tallied at
  // once, two blanked blocks together where possible; any other block is
  // taken one code at a time up to its first irregular byte.
  const __m128i code_two = _mm_set1_epi8(2);
  const auto tally = [&](__m128i codes, auto load, auto store) {
    // Equal bytes compare to -1: subtracting the comparison adds one.
    store(zero + j, _mm_sub_epi8(load(zero + j), _mm_cmpeq_epi8(codes, _mm_setzero_si128())));
    store(one + j, _mm_sub_epi8(load(one + j), _mm_cmpeq_epi8(codes, _mm_set1_epi8(1))));
    store(two + j, _mm_sub_epi8(load(two + j), _mm_cmpeq_epi8(codes, code_two)));
  };
  const auto load8 = [](const std::uint8_t* a) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)); };
  const auto store8 = [](std::uint8_t* a, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(a), v); };
  const auto load16 = [](const std::uint8_t* a) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(a)); };
  const auto store16 = [](std::uint8_t* a, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(a), v); };
  // Code values (text - '0') of 16 bytes, with masks of the bytes that are
  // codes and of the "d " pairs.
  struct Block {
    __m128i value;
    unsigned codes;
    unsigned spaced;
  };
  const auto classify = [&](const char* at) {
    const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i value = _mm_sub_epi8(text, _mm_set1_epi8('0'));
    const auto codes =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(value, code_two), value)));
    const auto blanks = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(text, _mm_set1_epi8(' '))));
    return Block{value, codes, (codes & 0x5555u) | (blanks & 0xaaaau)};
  };
  // Keeps the low byte (the code) of each 16-bit lane: "d " pairs to codes.
  const auto pairs_to_codes = [](__m128i first, __m128i second) {
    const __m128i low_bytes = _mm_set1_epi16(0x00ff);
    return _mm_packus_epi16(_mm_and_si128(first, low_bytes), _mm_and_si128(second, low_bytes));
  };
  while (markers - j >= 8 && end - p >= 16) {
    const Block block = classify(p);
    if (block.spaced == 0xffffu) {
      if (markers - j >= 16 && end - p >= 32) {
        const Block next = classify(p + 16);
        if (next.spaced == 0xffffu) {
          tally(pairs_to_codes(block.value, next.value), load16, store16);
          p += 32;
          j += 16;
          continue;
        }
      }
      tally(pairs_to_codes(block.value, _mm_setzero_si128()), load8, store8);
      p += 16;
      j += 8;
    } else if (block.codes == 0xffffu && markers - j >= 16) {
      tally(block.value, load16, store16);
      p += 16;
      j += 16;
    } else if (!scalar(p + std::countr_one(block.spaced) + 1)) {
      found = j;
      return p;
    }
  }
#endif
  scalar(end);
  found = j;
  return p;
}

MarkerCounts::MarkerCounts(int markers)
    : markers_(markers), groups_{Group(static_cast<size_t>(markers)), Group(static_cast<size_t>(markers))} {}

const char* MarkerCounts::add_line(short status, const char* p, const char* end) {
  Group& group = groups_[status == 1 ? kCase : kControl];
  if (group.rows_since_flush == kFlushRows) group.flush();
  ++group.rows;
  ++group.rows_since_flush;
  const char* stop = group.count_codes(p, end, markers_, last_line_codes_);
  longest_line_codes_ = std::max(longest_line_codes_, last_line_codes_);
  return stop;
}

void MarkerCounts::merge(MarkerCounts& other) {
  for (size_t g = 0; g < groups_.size(); ++g) {
    Group& mine = groups_[g];
    Group& theirs = other.groups_[g];
    theirs.flush();
    for (size_t code = 0; code < 3; ++code)
      for (size_t j = 0; j < theirs.total[code].size(); ++j) mine.total[code][j] += theirs.total[code][j];
    mine.rows += theirs.rows;
  }
  longest_line_codes_ = std::max(longest_line_codes_, other.longest_line_codes_);
}

GenotypeCounts MarkerCounts::at(int marker) const {
  const auto j = static_cast<size_t>(marker);
  const auto fill = [j](const Group& g, std::array<int, 4>& out) {
    out[3] = g.rows;
    for (size_t code = 0; code < 3; ++code) {
      out[code] = static_cast<int>(g.total[code][j] + g.pending[code][j]);
      out[3] -= out[code];
    }
  };
  GenotypeCounts counts;
  fill(groups_[kCase], counts.cases);
  fill(groups_[kControl], counts.controls);
  return counts;
}

namespace {

// Memory of the lines read is given back in steps of this size.
constexpr size_t kReleaseStep = size_t{16} << 20;

struct RangeResult {
  long lines = 0;
  bool bad_status = false;         // a line without a status ended the range
  const char* line = nullptr;      // start of the line that ended the range
  const char* bad_code = nullptr;  // a character that is no code ended the range
};

// True when the codes of a line stopped at its end.
bool at_line_end(const char* p, const char* end) {
  return p == end || *p == '\n' || (*p == '\r' && (p + 1 == end || p[1] == '\n'));
}

// Adds the lines that start in [begin, end) of the file, at most `limit`;
// stops at a line without a status.
RangeResult read_range(const MappedFile& file, const char* begin, const char* end, long limit,
                       MarkerCounts& counts) {
  RangeResult result;
  const char* line = begin;
  if (begin != file.begin()) {
    // The first line starting at or after begin.
    const void* found = std::memchr(begin - 1, '\n', static_cast<size_t>(file.end() - (begin - 1)));
    line = found ? static_cast<const char*>(found) + 1 : file.end();
  }
  const char* released = line;
  while (line < end && result.lines < limit) {
    const char* p = line;
    const auto status = parse_status(p, file.end());
    if (!status) {
      result.bad_status = true;
      break;
    }
    p = counts.add_line(*status, p, file.end());
    if (counts.last_line_codes() < counts.markers() && !at_line_end(p, file.end())) {
      result.line = line;
      result.bad_code = p;
      break;
    }
    ++result.lines;
    const void* line_end = std::memchr(p, '\n', static_cast<size_t>(file.end() - p));
    line = line_end ? static_cast<const char*>(line_end) + 1 : file.end();
    if (static_cast<size_t>(line - released) >= kReleaseStep) {
      file.release(released, line);
      released = line;
    }
  }
  return result;
}

// One thread per byte range; true when the ranges held exactly `samples`
// lines, all with a status, whose counts are then in `counts`.
bool read_in_parallel(const MappedFile& file, int samples, unsigned threads, MarkerCounts& counts) {
  std::vector<MarkerCounts> partial(threads - 1, MarkerCounts(counts.markers()));
  std::vector<RangeResult> results(threads);
  const auto at = [&](unsigned t) { return file.begin() + file.size() * t / threads; };
  parallel_for(static_cast<int>(threads), static_cast<int>(threads), [&](int part, int) {
    const auto t = static_cast<unsigned>(part);
    results[t] = read_range(file, at(t), at(t + 1), samples, t == 0 ? counts : partial[t - 1]);
  });
  long lines = 0;
  for (const auto& result : results) {
    if (result.bad_status || result.bad_code) return false;
    lines += result.lines;
  }
  if (lines != samples) return false;
  for (auto& other : partial) counts.merge(other);
  return true;
}

std::string shown_character(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7f) return std::string("\"") + c + "\"";
  static constexpr char kHex[] = "0123456789abcdef";
  return std::string("byte 0x") + kHex[byte >> 4] + kHex[byte & 15];
}

}  // namespace

MarkerCounts read_case_control_counts(const std::string& path, int samples, int markers,
                                      size_t bytes_per_thread) {
  const MappedFile file(path, "file open " + path + " not good\n");
  if (const unsigned threads = worker_count(file.size(), bytes_per_thread); threads > 1) {
    MarkerCounts counts(markers);
    if (read_in_parallel(file, samples, threads, counts)) return counts;
  }
  // One reader over the whole file: exact line numbers for the messages.
  MarkerCounts counts(markers);
  const RangeResult result = read_range(file, file.begin(), file.end(), samples, counts);
  if (result.bad_status)
    throw malformed_line(path, result.lines + 1,
                         "expected the status (an integer from -32768 to 32767) at the start");
  if (result.bad_code)
    throw malformed_line(path, result.lines + 1,
                         "column " + std::to_string(result.bad_code - result.line + 1) +
                             ": expected a genotype code (0, 1, 2 or -1), a blank or a tab, found " +
                             shown_character(*result.bad_code));
  if (result.lines < samples)
    throw inconsistent_file(path, "expected " + std::to_string(samples) + " lines (one per individual), found " +
                                      std::to_string(result.lines));
  return counts;
}

}  // namespace snp::screen
