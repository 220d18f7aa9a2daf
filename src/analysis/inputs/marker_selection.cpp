#include "analysis/inputs/marker_selection.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include "base/command_line.h"
#include "base/errors.h"

namespace snp {
namespace {

std::vector<std::string> tab_fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  std::string field;
  while (std::getline(in, field, '\t')) fields.push_back(field);
  if (!fields.empty() && !fields.back().empty() && fields.back().back() == '\r') fields.back().pop_back();
  return fields;
}

size_t column_of(const std::vector<std::string>& header, const std::string& name, const std::string& table) {
  const auto found = std::find(header.begin(), header.end(), name);
  if (found == header.end()) throw malformed_line(table, 1, "expected a column " + name + " in the header");
  return static_cast<size_t>(found - header.begin());
}

}  // namespace

std::vector<std::string> joined_top_arguments(const std::vector<std::string>& args) {
  std::vector<std::string> joined;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg == "--top" && i + 1 < args.size()) arg = "--top=" + args[++i];
    if (arg.starts_with("--top=") && i + 1 < args.size() && !args[i + 1].starts_with("-")) arg += "\t" + args[++i];
    joined.push_back(arg);
  }
  return joined;
}

TopRequest parse_top_value(const std::string& program, const std::string& value) {
  const size_t tab = value.rfind('\t');
  const std::string count = tab == std::string::npos ? "" : value.substr(tab + 1);
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(count.c_str(), &end, 10);
  if (count.empty() || *end != '\0' || errno == ERANGE || n < 1 || n > std::numeric_limits<int>::max())
    throw_usage_error(program, "--top needs a screen table and a number of markers of at least 1, as --top FILE N");
  return {value.substr(0, tab), static_cast<int>(n)};
}

std::vector<std::string> top_markers(const std::string& table, int count) {
  std::ifstream in(table);
  if (!in) throw InputError(InputProblem::cannot_open, "Error: cannot open " + table + "\n");
  std::string line;
  if (!std::getline(in, line)) throw inconsistent_file(table, "expected a header line, found none");
  const auto header = tab_fields(line);
  const size_t snp = column_of(header, "SNP", table), p_min = column_of(header, "P_MIN", table);
  struct Row {
    std::string name;
    double p;
  };
  std::vector<Row> rows;
  long number = 1;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line == "\r") continue;
    const auto fields = tab_fields(line);
    if (fields.size() <= std::max(snp, p_min))
      throw malformed_line(table, number, "expected " + std::to_string(header.size()) + " fields, found " +
                                              std::to_string(fields.size()));
    const std::string& text = fields[p_min];
    double p = std::numeric_limits<double>::infinity();  // NA: after every number
    if (text != "NA") {
      char* end = nullptr;
      p = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || std::isnan(p))
        throw malformed_line(table, number, "expected a P_MIN p-value or NA, found \"" + text + "\"");
    }
    rows.push_back({fields[snp], p});
  }
  if (rows.size() < static_cast<size_t>(count))
    throw inconsistent_file(table, "--top asks for " + std::to_string(count) + " markers, the table has " +
                                       std::to_string(rows.size()));
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.p < b.p; });
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(rows[static_cast<size_t>(i)].name);
  return names;
}

std::vector<std::string> listed_markers(const std::string& value) {
  std::vector<std::string> names;
  std::error_code error;
  if (std::filesystem::is_regular_file(value, error)) {
    std::ifstream in(value);
    if (!in) throw InputError(InputProblem::cannot_open, "Error: cannot open " + value + "\n");
    std::string name;
    while (in >> name) names.push_back(name);
  } else {
    std::istringstream in(value);
    std::string name;
    while (std::getline(in, name, ','))
      if (!name.empty()) names.push_back(name);
  }
  if (names.empty()) throw inconsistent_file(value, "expected marker names for --snps, found none");
  std::set<std::string> seen;
  for (const auto& name : names)
    if (!seen.insert(name).second) throw inconsistent_file(value, "marker " + name + " is named twice");
  return names;
}

}  // namespace snp
