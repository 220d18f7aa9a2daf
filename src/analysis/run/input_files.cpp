#include "analysis/run/input_files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "analysis/inputs/parameter_file.h"
#include "base/errors.h"

namespace snp {
namespace {

struct Row {
  long line = 0;
  std::vector<long> values;
};

// Integers of every non-empty line, each within [low, high].
std::vector<Row> read_integer_rows(const std::string& path, long low, long high, const std::string& what) {
  std::ifstream in(path);
  if (!in) throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + "\n");
  std::vector<Row> rows;
  std::string text;
  long line = 0;
  while (std::getline(in, text)) {
    ++line;
    std::istringstream fields(text);
    Row row{line, {}};
    std::string word;
    while (fields >> word) {
      errno = 0;
      char* end = nullptr;
      const long value = std::strtol(word.c_str(), &end, 10);
      if (end != word.c_str() + word.size() || errno == ERANGE || value < low || value > high)
        throw malformed_line(path, line, "expected " + what + ", found \"" + word + "\"");
      row.values.push_back(value);
    }
    if (!row.values.empty()) rows.push_back(std::move(row));
  }
  if (rows.empty()) throw inconsistent_file(path, "expected at least one line of " + what + ", found none");
  return rows;
}

void require_length(const std::string& path, const Row& row, size_t wanted, const std::string& what) {
  if (row.values.size() != wanted)
    throw malformed_line(path, row.line, "expected " + std::to_string(wanted) + " " + what + ", found " +
                                             std::to_string(row.values.size()));
}

}  // namespace

AnalysisInput load_analysis_input(const InputFiles& files, int first_permuted) {
  AnalysisInput input;
  input.first_permuted = first_permuted;
  const auto genotypes = read_integer_rows(files.genotypes, -1, 2, "a genotype code -1, 0, 1 or 2");
  const size_t width = genotypes.front().values.size();
  for (const Row& row : genotypes) {
    require_length(files.genotypes, row, width, "genotype codes (as on the first line)");
    input.genotypes.emplace_back(row.values.begin(), row.values.end());
  }
  const auto phenotypes = read_integer_rows(files.phenotypes, SHRT_MIN, SHRT_MAX, "an integer phenotype");
  for (const Row& row : phenotypes) {
    require_length(files.phenotypes, row, genotypes.size(),
                   "phenotypes (one per individual of " + files.genotypes + ")");
    input.phenotypes.emplace_back(row.values.begin(), row.values.end());
  }
  const auto columns = read_integer_rows(files.columns, 0, static_cast<long>(width) - 1,
                                         "a genotype column 0.." + std::to_string(width - 1));
  for (const Row& row : columns) {
    require_length(files.columns, row, columns.front().values.size(), "columns (as on the first line)");
    input.columns.emplace_back(row.values.begin(), row.values.end());
  }
  if (columns.size() != phenotypes.size())
    throw inconsistent_file(files.columns, "expected one line per data set of " + files.phenotypes + " (" +
                                               std::to_string(phenotypes.size()) + "), found " +
                                               std::to_string(columns.size()));
  return input;
}

void check_input_shape(const AnalysisInput& input, const InputFiles& files, const CsmParameters& parameters,
                       const std::string& source) {
  const auto individuals = static_cast<long>(input.genotypes.size());
  if (individuals != parameters.sample_size)
    throw inconsistent_file(files.genotypes, "expected Sample_size = " + std::to_string(parameters.sample_size) +
                                                 " individuals (from " + source + "), found " +
                                                 std::to_string(individuals));
  const auto markers = static_cast<long>(input.columns.front().size());
  if (markers != parameters.number_of_markers)
    throw inconsistent_file(files.columns, "expected Number_of_markers = " +
                                               std::to_string(parameters.number_of_markers) + " columns (from " +
                                               source + "), found " + std::to_string(markers));
  const long permutations = std::max(parameters.number_of_permutation, 0);
  const long needed = permutations > 0 ? input.first_permuted + permutations : 1;
  if (static_cast<long>(input.phenotypes.size()) < needed)
    throw inconsistent_file(files.phenotypes, "expected " + std::to_string(needed) + " data sets (Number_of_permutation = " +
                                                  std::to_string(permutations) + " from data set " +
                                                  std::to_string(input.first_permuted) + " on), found " +
                                                  std::to_string(input.phenotypes.size()));
}

PeekedParameters peek_csm_parameters(const AnalysisContext& ctx) {
  std::ifstream in(ctx.work_file(kParameterFile), std::ios::binary);
  if (!in) {
    CsmParameters built_in;
    built_in.adjust();
    return {built_in, std::string("the built-in values; there is no ") + kParameterFile};
  }
  std::ostringstream content;
  content << in.rdbuf();
  return {quiet_search_parameters(content.str()), kParameterFile};
}

}  // namespace snp
