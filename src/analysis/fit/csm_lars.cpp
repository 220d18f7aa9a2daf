#include "analysis/fit/csm_lars.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "analysis/fit/lars.h"
#include "analysis/search/marker_set.h"
#include "base/errors.h"

namespace snp {
namespace {

// Reads the next non-empty line of `in`, counting lines in `line`.
bool next_line(std::istream& in, std::string& text, long& line) {
  while (std::getline(in, text)) {
    ++line;
    if (text.find_first_not_of(" \t\r") != std::string::npos) return true;
  }
  return false;
}

int read_count(std::istream& in, const std::string& file, long& line, const char* what) {
  std::string text;
  if (!next_line(in, text, line)) throw malformed_line(file, line + 1, std::string("expected ") + what + ", found the end");
  std::istringstream fields(text);
  int value = 0;
  std::string rest;
  if (!(fields >> value) || value < 0 || (fields >> rest))
    throw malformed_line(file, line, std::string("expected ") + what + ", found \"" + text + "\"");
  return value;
}

}  // namespace

SearchAndFit::SearchAndFit(CSM& csm, std::ostream& out, std::string beta_file)
    : csm_(csm), out_(out), beta_file_(std::move(beta_file)) {}

double SearchAndFit::run(int r, const AnalysisInput& input) {
  std::ostream& out = out_;
  out << "csm begin\n";
  // A search that cannot read its data set leaves no store file of its own.
  if (!csm_.run(r, input)) throw FatalError("find error read output_X_Y.txt\n", Channel::standard_error);
  out << "csm end\n";

  const std::string& store = csm_.store_file();
  const std::string& beta_file = beta_file_;
  // The coefficient file never holds the coefficients of another data set.
  std::error_code ignored;
  std::filesystem::remove(beta_file, ignored);
  const StoreShape shape = read_store_shape(store);
  if (shape.columns == 0) return LARS::kNoFit;
  LARS lars(out_, shape.rows, shape.columns, store, beta_file);
  return lars.run();
}

BetaFile read_beta_file(const std::string& file, std::ostream& out) {
  std::ifstream in(file);
  if (!in) throw FatalError("file open find error for file=" + file + "\n", Channel::standard_error);
  BetaFile result;
  long line = 0;
  result.columns = read_count(in, file, line, "the number of columns");
  result.count = read_count(in, file, line, "the number of coefficients");
  result.beta.assign(static_cast<size_t>(result.columns), 0.0);
  result.scale.assign(static_cast<size_t>(result.columns), 0.0);
  for (int n = 0; n < result.count; ++n) {
    std::string text;
    if (!next_line(in, text, line))
      throw malformed_line(file, line + 1, "expected coefficient " + std::to_string(n + 1) + " of " +
                                               std::to_string(result.count) + ", found the end");
    std::istringstream fields(text);
    std::string open_label, close_label;
    int column = -1;
    double beta = 0.0, scale = 0.0;
    if (!(fields >> open_label >> column >> close_label >> beta >> scale) || column < 0 ||
        column >= result.columns || !(scale > 0.0))
      throw malformed_line(file, line, "expected \"beta[ column ]= coefficient scale\" with a column below " +
                                           std::to_string(result.columns) + " and a positive scale, found \"" + text + "\"");
    out << open_label << " " << column << " " << beta << "\n";
    result.beta[static_cast<size_t>(column)] = beta;
    result.scale[static_cast<size_t>(column)] = scale;
  }
  out << "\n";
  return result;
}

void add_marker_importance(const BestClusterInformation& record, DoubleVector& importance, double beta,
                             double scale, bool verbose, std::vector<int>& markers, std::vector<int>& codes,
                             int group, std::ostream& out) {
  const auto k = static_cast<int>(record.nmarker);
  const BinomialTable binomial(record.nmarker_total, k);
  markers = unrank_marker_set(binomial, record.nmarker_total, k, record.setrank);
  for (const int m : markers) {
    importance[m] += (std::abs(beta) / k) / scale;
    if (verbose) out << "importantfactor[" << m << "]=" << importance[m] << " beta[q]=" << beta << "\n";
  }
  codes.clear();
  if (group < 0 || group >= static_cast<int>(record.ngroup)) {
    out << "find getGenotypeCode input have error!\n";
    return;
  }
  out << "GenotypeCode of group number=" << group << "\n";
  for (unsigned u = 0; u < record.ncode; ++u)
    if (record.Tindex[static_cast<size_t>(group)].test(u)) codes.push_back(static_cast<int>(record.GenotypeCode[u]));
}

BaseLearner make_base_learner(int number, const BestClusterInformation& record, int group,
                                     const std::vector<int>& markers, const std::vector<int>& codes,
                                     double coefficient, double scale) {
  BaseLearner learner;
  learner.number = number;
  learner.k = static_cast<int>(record.nmarker);
  learner.markers = markers;
  learner.codes = codes;
  learner.coefficient = coefficient;
  learner.importance = std::abs(coefficient) / learner.k / scale;
  for (unsigned v = 0; v < genotype_space(record.nmarker); ++v) {
    int holder = 0;
    for (unsigned g = 0; g < record.ngroup; ++g) {
      if (record.in_group(g, v)) {
        holder = static_cast<int>(g);
        break;
      }
    }
    learner.group_of_class.push_back(holder);
  }
  learner.group_average = record.GroupAverage[static_cast<size_t>(group)];
  return learner;
}

}  // namespace snp
