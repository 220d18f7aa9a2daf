#include "genotypes/text_fields.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "base/errors.h"

namespace snp::genotypes {

std::vector<std::string_view> split_fields(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::vector<std::string_view> fields;
  size_t p = 0;
  while (p < line.size()) {
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    const size_t start = p;
    while (p < line.size() && line[p] != ' ' && line[p] != '\t') ++p;
    if (p > start) fields.push_back(line.substr(start, p - start));
  }
  return fields;
}

FileText read_text_file(const std::string& path) {
  auto text = read_file_text(path);
  if (!text)
    throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + " (" + std::strerror(errno) + ")\n");
  return std::move(*text);
}

std::string shown(std::string_view value) {
  constexpr size_t kLongest = 40;
  std::string text(1, '"');
  text.append(value.substr(0, kLongest));
  if (value.size() > kLongest) text.append("...");
  text.push_back('"');
  return text;
}

}  // namespace snp::genotypes
