#include "input/genetic_map.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include <zlib.h>

#include "base/errors.h"
#include "base/text_source.h"

namespace snp {
namespace {

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t k = 0;
  while (k < line.size()) {
    while (k < line.size() && is_space(line[k])) ++k;
    const size_t start = k;
    while (k < line.size() && !is_space(line[k])) ++k;
    if (k > start) fields.push_back(line.substr(start, k - start));
  }
  return fields;
}

std::string lower(std::string_view word) {
  std::string out(word);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view without_chr_prefix(std::string_view name) {
  if (name.size() > 3 && lower(name.substr(0, 3)) == "chr") name.remove_prefix(3);
  return name;
}

[[noreturn]] void map_error(const std::string& path, int line, const std::string& what) {
  throw InputError(InputProblem::malformed,
                   "Error: line " + std::to_string(line) + " of the genetic map " + path + ": " + what + "\n");
}

// Where the columns are, 0-based; chr < 0 when there is none.
struct Columns {
  int count = 0;
  int chr = -1;
  int position = -1;
  int centimorgan = -1;
};

std::optional<Columns> header_columns(const std::vector<std::string_view>& fields) {
  Columns columns;
  columns.count = static_cast<int>(fields.size());
  bool named = false;
  for (int k = 0; k < columns.count; ++k) {
    const std::string word = lower(fields[static_cast<size_t>(k)]);
    const bool rate = word.find("rate") != std::string::npos || word.find('/') != std::string::npos;
    if (word.find("pos") != std::string::npos && columns.position < 0) {
      columns.position = k;
      named = true;
    } else if (!rate && (word.find("cm") != std::string::npos || word.find("map") != std::string::npos) &&
               columns.centimorgan < 0) {
      columns.centimorgan = k;
      named = true;
    } else if (word.rfind("chr", 0) == 0 && word.size() <= 10 && columns.chr < 0 &&
               (word.size() == 3 || !std::isdigit(static_cast<unsigned char>(word[3])))) {
      columns.chr = k;
      named = true;
    } else if (rate) {
      named = true;
    }
  }
  if (!named) return std::nullopt;
  return columns;
}

}  // namespace

GeneticMap parse_genetic_map(std::string_view text, const std::string& path, int chromosome) {
  const std::string wanted = std::to_string(chromosome);
  GeneticMap map;
  std::optional<Columns> columns;
  bool other_chromosome = false;
  int line_number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    const auto fields = split_fields(line);
    if (fields.empty() || fields[0].front() == '#') continue;
    if (!columns) {
      columns = header_columns(fields);
      if (columns) {
        if (columns->position < 0 || columns->centimorgan < 0)
          map_error(path, line_number, "the header names no position or no cM column");
        continue;
      }
      columns = Columns{static_cast<int>(fields.size()), 0, 1, 2};
      if (fields.size() == 4)
        columns = Columns{4, 0, 3, 2};
      else if (fields.size() != 3)
        map_error(
            path, line_number,
            "expected three columns (chr, position, cM) or four (chr, id, cM, position) without a header, found " +
                std::to_string(fields.size()));
    }
    if (static_cast<int>(fields.size()) != columns->count)
      map_error(path, line_number,
                "expected " + std::to_string(columns->count) + " columns, found " + std::to_string(fields.size()));
    if (columns->chr >= 0 && without_chr_prefix(fields[static_cast<size_t>(columns->chr)]) != wanted) {
      other_chromosome = true;
      continue;
    }
    const std::string_view position_text = fields[static_cast<size_t>(columns->position)];
    long position = 0;
    const auto parsed = std::from_chars(position_text.data(), position_text.data() + position_text.size(), position);
    if (parsed.ec != std::errc() || parsed.ptr != position_text.data() + position_text.size() || position < 0)
      map_error(path, line_number, "the position " + std::string(position_text) + " is not a whole number");
    const std::string cm_text(fields[static_cast<size_t>(columns->centimorgan)]);
    char* cm_end = nullptr;
    const double cm = std::strtod(cm_text.c_str(), &cm_end);
    if (cm_text.empty() || *cm_end != '\0' || !std::isfinite(cm))
      map_error(path, line_number, "the genetic position " + cm_text + " is not a number");
    if (!map.positions.empty() && position <= map.positions.back())
      map_error(path, line_number,
                "positions must ascend (" + std::to_string(position) + " after " +
                    std::to_string(map.positions.back()) + ")");
    if (!map.centimorgans.empty() && cm < map.centimorgans.back())
      map_error(path, line_number, "genetic positions must not decrease (" + cm_text + " cM after a larger one)");
    map.positions.push_back(position);
    map.centimorgans.push_back(cm);
  }
  if (map.positions.size() < 2)
    throw InputError(InputProblem::malformed, "Error: the genetic map " + path + " holds " +
                                                  std::to_string(map.positions.size()) +
                                                  (other_chromosome ? " records of chromosome " + wanted : " records") +
                                                  "; at least two are needed\n");
  return map;
}

GeneticMap read_genetic_map(const std::string& path, int chromosome) {
  // Maps are distributed gzipped; zlib reads plain files as they are.
  const std::unique_ptr<gzFile_s, decltype(&gzclose)> file(gzopen(path.c_str(), "rb"), &gzclose);
  const auto cannot_read = [&] {
    return InputError(InputProblem::cannot_open, "Error: cannot read the genetic map " + path + "\n");
  };
  if (!file) throw cannot_read();
  std::string text;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const int got = gzread(file.get(), buffer.data(), static_cast<unsigned>(buffer.size()));
    if (got < 0) {
      int code = 0;
      const char* reason = gzerror(file.get(), &code);
      throw InputError(InputProblem::malformed, "Error: the genetic map " + path + " is damaged (" +
                                                    (code == Z_ERRNO ? std::strerror(errno) : reason) + ")\n");
    }
    if (got == 0) break;
    text.append(buffer.data(), static_cast<size_t>(got));
  }
  return parse_genetic_map(text, path, chromosome);
}

std::vector<double> genetic_positions(const GeneticMap& map, const std::vector<int>& positions) {
  const size_t last = map.positions.size() - 1;
  const double mean_rate =
      (map.centimorgans[last] - map.centimorgans[0]) / static_cast<double>(map.positions[last] - map.positions[0]);
  std::vector<double> out;
  out.reserve(positions.size());
  for (const int position : positions) {
    const long p = position;
    if (p <= map.positions[0]) {
      out.push_back(map.centimorgans[0] - mean_rate * static_cast<double>(map.positions[0] - p));
    } else if (p >= map.positions[last]) {
      out.push_back(map.centimorgans[last] + mean_rate * static_cast<double>(p - map.positions[last]));
    } else {
      const size_t k =
          static_cast<size_t>(std::upper_bound(map.positions.begin(), map.positions.end(), p) - map.positions.begin());
      const double span = static_cast<double>(map.positions[k] - map.positions[k - 1]);
      const double w = static_cast<double>(p - map.positions[k - 1]) / span;
      out.push_back(map.centimorgans[k - 1] + w * (map.centimorgans[k] - map.centimorgans[k - 1]));
    }
  }
  return out;
}

std::vector<double> constant_rate_positions(const std::vector<int>& positions, double cm_per_mb) {
  std::vector<double> out;
  out.reserve(positions.size());
  for (const int position : positions) out.push_back(static_cast<double>(position) * cm_per_mb * 1e-6);
  return out;
}

}  // namespace snp
