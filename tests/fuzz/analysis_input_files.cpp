// csm-analysis's input files: load_analysis_input on the genotype,
// phenotype and column files cut from the input at its first two '|'
// bytes, then check_input_shape with a permutation count and first permuted
// data set from the first byte. Compared with a plain reading of the
// formats: every non-empty line holds whole decimal numbers (codes -1 to 2;
// 16-bit phenotypes; columns below the genotype width), genotype and column
// lines of equal length, one phenotype per individual, one column line per
// phenotype line.
#include <climits>
#include <optional>
#include <sstream>

#include "analysis/search_parameters.h"
#include "analysis/input_files.h"
#include "fuzz_support.h"
#include "base/errors.h"

using namespace snp;

namespace {

std::optional<long> whole_number(std::string_view word, long low, long high) {
  size_t at = word.size() > 1 && (word[0] == '+' || word[0] == '-') ? 1 : 0;
  if (at == word.size()) return std::nullopt;
  long value = 0;
  for (; at < word.size(); ++at) {
    if (word[at] < '0' || word[at] > '9') return std::nullopt;
    value = value * 10 + (word[at] - '0');
    if (value > 100000) return std::nullopt;  // beyond every range below
  }
  if (word[0] == '-') value = -value;
  if (value < low || value > high) return std::nullopt;
  return value;
}

// Rows of the non-empty lines; nullopt when a word is not a number in range.
std::optional<std::vector<std::vector<long>>> plain_rows(std::string_view text, long low, long high) {
  std::vector<std::vector<long>> rows;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::vector<long> row;
    for (const std::string_view word : fuzz::words_of(text.substr(start, end - start))) {
      const auto value = whole_number(word, low, high);
      if (!value) return std::nullopt;
      row.push_back(*value);
    }
    if (!row.empty()) rows.push_back(std::move(row));
    start = end + 1;
  }
  if (rows.empty()) return std::nullopt;
  return rows;
}

bool same_lengths(const std::vector<std::vector<long>>& rows, size_t length) {
  for (const auto& row : rows)
    if (row.size() != length) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int permutations = data[0] % 4;
  const int first_permuted = (data[0] >> 2) % 4;
  std::string_view rest = fuzz::as_text(data + 1, size - 1);
  std::string_view parts[3];
  for (int f = 0; f < 2; ++f) {
    const size_t cut = rest.find('|');
    parts[f] = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  }
  parts[2] = rest;
  InputFiles files;
  files.genotypes = fuzz::write_scratch("genotypes.txt", parts[0]);
  files.phenotypes = fuzz::write_scratch("phenotypes.txt", parts[1]);
  files.columns = fuzz::write_scratch("columns.txt", parts[2]);

  bool well_formed = false;
  const auto genotypes = plain_rows(parts[0], -1, 2);
  std::optional<std::vector<std::vector<long>>> phenotypes, columns;
  if (genotypes && same_lengths(*genotypes, genotypes->front().size())) {
    const auto width = static_cast<long>(genotypes->front().size());
    phenotypes = plain_rows(parts[1], SHRT_MIN, SHRT_MAX);
    columns = plain_rows(parts[2], 0, width - 1);
    well_formed = phenotypes && same_lengths(*phenotypes, genotypes->size()) && columns &&
                  same_lengths(*columns, columns->front().size()) && columns->size() == phenotypes->size();
  }

  AnalysisInput input;
  try {
    input = load_analysis_input(files, first_permuted);
  } catch (const InputError& e) {
    FUZZ_CHECK(!well_formed, std::string("rejected well-formed files: ") + e.what());
    FUZZ_CHECK(fuzz::contains(e.what(), fuzz::scratch_dir()), std::string("message without the file: ") + e.what());
    return 0;
  }
  FUZZ_CHECK(well_formed, "accepted malformed files");
  FUZZ_CHECK(input.genotypes.size() == genotypes->size() && input.phenotypes.size() == phenotypes->size() &&
                 input.columns.size() == columns->size(),
             "line counts differ from the files");
  for (size_t i = 0; i < genotypes->size(); ++i)
    for (size_t j = 0; j < (*genotypes)[i].size(); ++j)
      FUZZ_CHECK(input.genotypes[i][j] == (*genotypes)[i][j], "genotype read differently from the text");
  for (size_t d = 0; d < phenotypes->size(); ++d)
    for (size_t i = 0; i < (*phenotypes)[d].size(); ++i)
      FUZZ_CHECK(input.phenotypes[d][i] == (*phenotypes)[d][i], "phenotype read differently from the text");
  for (size_t d = 0; d < columns->size(); ++d)
    for (size_t m = 0; m < (*columns)[d].size(); ++m)
      FUZZ_CHECK(input.columns[d][m] == (*columns)[d][m], "column read differently from the text");

  CsmParameters parameters;
  parameters.sample_size = static_cast<int>(genotypes->size());
  parameters.number_of_markers = static_cast<int>(columns->front().size());
  parameters.number_of_permutation = permutations;
  const size_t needed = permutations > 0 ? static_cast<size_t>(first_permuted + permutations) : 1;
  try {
    check_input_shape(input, files, parameters, "parameter.txt");
    FUZZ_CHECK(phenotypes->size() >= needed, "accepted too few data sets");
  } catch (const InputError& e) {
    FUZZ_CHECK(phenotypes->size() < needed, std::string("rejected matching files: ") + e.what());
  }
  return 0;
}
