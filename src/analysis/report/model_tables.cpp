#include "analysis/report/model_tables.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "base/errors.h"

namespace snp {
namespace {

constexpr const char* kVariableTableHead = "Base learner \t Marker involved \t Base learner function";
constexpr const char* kVariableTableEnd = "Markers or Marker combinations";
constexpr double kZ95 = 1.96;

std::string class_text(std::size_t markers, int c) {
  return markers == 1 ? std::to_string(c) : std::to_string(c / 3) + "/" + std::to_string(c % 3);
}

template <typename T, typename F>
std::string joined(const std::vector<T>& items, F text) {
  std::ostringstream out;
  for (size_t i = 0; i < items.size(); ++i) out << (i > 0 ? "," : "") << text(items[i]);
  return out.str();
}

std::string number(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

// Genotype class of individual i at the learner's markers; -1 when a
// marker is missing.
int genotype_class(const AnalysisInput& input, std::size_t i, const ReportedLearner& learner) {
  int c = 0;
  for (const int m : learner.markers) {
    const int column = input.columns.front().at(static_cast<std::size_t>(m - 1));
    const int g = input.genotypes.at(i).at(static_cast<std::size_t>(column));
    if (g < 0 || g > 2) return -1;
    c = c * 3 + g;
  }
  return c;
}

struct Side {
  double n = 0, sum = 0, squares = 0;
  void add(double y) { n += 1; sum += y; squares += y * y; }
  double mean() const { return sum / n; }
  double variance() const { return (squares - sum * sum / n) / (n - 1); }
};

std::string case_control_row(const ReportedLearner& learner, const AnalysisInput& input) {
  TwoByTwo cells;
  const auto& y = input.phenotypes.front();
  for (std::size_t i = 0; i < y.size(); ++i) {
    const int c = genotype_class(input, i, learner);
    if (c < 0) continue;
    const bool in = std::find(learner.classes.begin(), learner.classes.end(), c) != learner.classes.end();
    const bool is_case = y[i] > 0;
    (in ? (is_case ? cells.cases_in : cells.controls_in) : (is_case ? cells.cases_out : cells.controls_out)) += 1;
  }
  const OddsRatio odds = woolf_odds_ratio(cells);
  return number(cells.cases_in) + "\t" + number(cells.controls_in) + "\t" + number(cells.cases_out) + "\t" +
         number(cells.controls_out) + "\t" + number(odds.ratio) + "\t" + number(odds.low) + "\t" + number(odds.high);
}

std::string quantitative_row(const ReportedLearner& learner, const AnalysisInput& input) {
  Side in, out;
  const auto& y = input.phenotypes.front();
  for (std::size_t i = 0; i < y.size(); ++i) {
    const int c = genotype_class(input, i, learner);
    if (c < 0) continue;
    const bool inside = std::find(learner.classes.begin(), learner.classes.end(), c) != learner.classes.end();
    (inside ? in : out).add(y[i]);
  }
  const auto mean = [](const Side& side) { return side.n > 0 ? number(side.mean()) : "NA"; };
  const std::string difference = in.n > 0 && out.n > 0 ? number(in.mean() - out.mean()) : "NA";
  const std::string se =
      in.n > 1 && out.n > 1 ? number(std::sqrt(in.variance() / in.n + out.variance() / out.n)) : "NA";
  return number(in.n) + "\t" + number(out.n) + "\t" + mean(in) + "\t" + mean(out) + "\t" + difference + "\t" + se;
}

bool case_control(const AnalysisInput& input) {
  const auto& y = input.phenotypes.front();
  return std::all_of(y.begin(), y.end(), [](short v) { return v == 0 || v == 1; });
}

}  // namespace

std::vector<ReportedLearner> reported_learners(const std::string& final_report) {
  std::vector<ReportedLearner> learners;
  // The report starts with a copy of the parameter file: the table is the
  // last one.
  const std::size_t head = final_report.rfind(kVariableTableHead);
  if (head == std::string::npos) return learners;
  std::istringstream lines(final_report.substr(head));
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line) && line.rfind(kVariableTableEnd, 0) != 0) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word.empty() || word[0] != 'X') break;
    ReportedLearner learner;
    while (words >> word && word != "I{") learner.markers.push_back(std::stoi(word));
    while (words >> word && word != "}") {
      if (word == "or") continue;
      const std::size_t slash = word.find('/');
      learner.classes.push_back(slash == std::string::npos
                                    ? std::stoi(word)
                                    : 3 * std::stoi(word.substr(0, slash)) + std::stoi(word.substr(slash + 1)));
    }
    learners.push_back(std::move(learner));
  }
  return learners;
}

OddsRatio woolf_odds_ratio(TwoByTwo cells) {
  OddsRatio odds;
  if (cells.cases_in == 0 || cells.controls_in == 0 || cells.cases_out == 0 || cells.controls_out == 0) {
    odds.corrected = true;
    for (double* cell : {&cells.cases_in, &cells.controls_in, &cells.cases_out, &cells.controls_out}) *cell += 0.5;
  }
  const double log_ratio = std::log(cells.cases_in * cells.controls_out / (cells.controls_in * cells.cases_out));
  const double se =
      std::sqrt(1 / cells.cases_in + 1 / cells.controls_in + 1 / cells.cases_out + 1 / cells.controls_out);
  odds.ratio = std::exp(log_ratio);
  odds.low = std::exp(log_ratio - kZ95 * se);
  odds.high = std::exp(log_ratio + kZ95 * se);
  return odds;
}

std::string marker_table(const std::vector<MarkerLabel>& labels) {
  std::string text = "MARKER\tSNP\tCHR\tBP\tA1\tA2\n";
  for (std::size_t j = 0; j < labels.size(); ++j) {
    const MarkerLabel& label = labels[j];
    text += std::to_string(j + 1) + "\t" + label.snp + "\t" + label.chromosome + "\t" +
            std::to_string(label.position) + "\t" + label.a1 + "\t" + label.a2 + "\n";
  }
  return text;
}

std::string model_table(const std::vector<ReportedLearner>& learners, const AnalysisInput& input,
                        const std::vector<MarkerLabel>& labels) {
  const bool binary = case_control(input);
  std::string text =
      "# One row per base learner of the final model (X0, X1, ... of Final_result.txt), on the observed data.\n"
      "# GROUP: the genotype classes of the learner's group, as copies of A1 (first/second for a marker pair);\n"
      "# individuals missing at one of the learner's markers are left out.\n";
  if (binary) {
    text +=
        "# OR: odds of being a case inside the group against outside; L95, U95: Woolf's 95% interval,\n"
        "# exp(log OR -+ 1.96 SE) with SE^2 = 1/CASES_IN + 1/CONTROLS_IN + 1/CASES_OUT + 1/CONTROLS_OUT;\n"
        "# when a count is 0, 0.5 is added to all four counts of that row for OR, L95 and U95.\n"
        "LEARNER\tSNPS\tGROUP\tCASES_IN\tCONTROLS_IN\tCASES_OUT\tCONTROLS_OUT\tOR\tL95\tU95\n";
  } else {
    text +=
        "# DIFF: mean phenotype inside the group minus outside; SE = sqrt(VAR_IN/N_IN + VAR_OUT/N_OUT) with\n"
        "# the sample variances; NA where a side has too few individuals.\n"
        "LEARNER\tSNPS\tGROUP\tN_IN\tN_OUT\tMEAN_IN\tMEAN_OUT\tDIFF\tSE\n";
  }
  for (std::size_t b = 0; b < learners.size(); ++b) {
    const ReportedLearner& learner = learners[b];
    const std::string snps = joined(learner.markers, [&](int m) {
      return labels.at(static_cast<std::size_t>(input.columns.front().at(static_cast<std::size_t>(m - 1)))).snp;
    });
    const std::string group = joined(learner.classes, [&](int c) { return class_text(learner.markers.size(), c); });
    std::ostringstream row;
    row << "X" << b << "\t" << snps << "\t" << group << "\t"
        << (binary ? case_control_row(learner, input) : quantitative_row(learner, input)) << "\n";
    text += row.str();
  }
  return text;
}

void write_model_tables(const WorkFiles& files, const AnalysisInput& input, const std::vector<MarkerLabel>& labels) {
  replace_file(files.path(kMarkerTable), marker_table(labels));
  const std::string report = files.path("Final_result.txt");
  replace_file(files.path(kModelTable), model_table(reported_learners(copied_text(report)), input, labels));
}

}  // namespace snp
