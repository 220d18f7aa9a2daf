#include "analysis/report/final_report.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <ostream>
#include <sstream>

#include "analysis/state/formatting.h"
#include "analysis/search/marker_set.h"
#include "base/errors.h"
#include "numeric/gamma.h"

namespace snp {
namespace {

constexpr int kShownGenotypes = 10;

// Raw phenotypes and genotypes of one data set, missing genotypes as -1.
class RawData {
 public:
  RawData(const AnalysisInput& input, int r, int ns) : input_(input), r_(static_cast<size_t>(r)) {
    const auto& phenotypes = input.phenotypes.at(r_);
    for (int i = 0; i < ns; ++i) y_.push_back(phenotypes.at(static_cast<size_t>(i)));
    ybar_ = std::accumulate(y_.begin(), y_.end(), 0.0) / ns;
    for (const double v : y_) SS_ += (v - ybar_) * (v - ybar_);
  }
  int size() const { return static_cast<int>(y_.size()); }
  double y(int i) const { return y_[static_cast<size_t>(i)]; }
  double ybar() const { return ybar_; }
  double SS() const { return SS_; }
  // Genotype of individual i (from 0) at analysis marker m (from 1).
  int genotype(int i, int m) const {
    const int column = input_.columns.at(r_).at(static_cast<size_t>(m - 1));
    return input_.genotypes.at(static_cast<size_t>(i)).at(static_cast<size_t>(column));
  }

 private:
  const AnalysisInput& input_;
  size_t r_;
  std::vector<double> y_;
  double ybar_ = 0.0;
  double SS_ = 0.0;
};

std::string class_name(int k, int c) {
  return k == 1 ? std::to_string(c) : std::to_string(c / 3) + "/" + std::to_string(c % 3);
}

std::string model_table(const FinalModel& model, double ybar) {
  std::ostringstream text;
  text << "The final Model information\n===========================\n";
  text << "Base Learner         " << "Intercept      ";
  double intercept = ybar;
  for (const auto& learner : model.learners) {
    text << "X" << learner.number << (learner.number < 10 ? "       " : "      ");
    intercept -= learner.coefficient * learner.group_average;
  }
  text << "\nCoefficient          " << intercept << "    ";
  for (const auto& learner : model.learners) text << c_format("%7.3f  ", learner.coefficient);
  text << "\n";
  return text.str();
}

std::string variable_table(const FinalModel& model) {
  std::ostringstream text;
  text << "\nVariable (Base learner) information in the final model\n"
          "======================================================\n"
          "Base learner \t Marker involved \t Base learner function \t\t\t\t\t\t\t Important measure\n";
  double total = 0.0;
  for (const auto& learner : model.learners) total += learner.importance;
  for (const auto& learner : model.learners) {
    text << "X" << learner.number << "\t\t\t";
    for (const int m : learner.markers) text << m << ' ';
    text << "\t\tI{ ";
    const auto ncodes = static_cast<int>(learner.codes.size());
    for (int n = 0; n < ncodes; ++n) {
      const int c = learner.codes[static_cast<size_t>(n)];
      if (learner.k == 1) {
        text << c << ' ';
      } else {
        text << (n > 0 ? " or " : "") << class_name(2, c);
      }
    }
    const int slots = learner.k == 1 ? 3 : 9;
    text << " }" << std::string(static_cast<size_t>(std::max(slots - ncodes, 0)) * 6, ' ')
         << (learner.k == 1 ? "\t\t\t\t\t\t\t " : "\t\t ") << learner.importance / total * 100.0 << "\n";
  }
  return text.str();
}

// Statistic of a genotype class: its case share against the mean phenotype.
double class_statistic(int cases, int n, const RawData& data) {
  if (n == 0) return 0.00001;
  const double ns = data.size();
  const double spread = std::sqrt(data.SS() * (ns - n) / ns / ns / n);
  // Without variation (one class only, or a constant phenotype) nothing is shown.
  if (!(spread > 0.0)) return 0.0;
  return (static_cast<double>(cases) / n - data.ybar()) / spread;
}

// Rows of counts, statistics, p-values and groups of one marker (k = 1) or
// marker pair (k = 2).
std::string genotype_block(const BaseLearner& learner, const RawData& data, std::ostream& console) {
  const int classes = static_cast<int>(genotype_space(static_cast<unsigned>(learner.k)));
  std::vector<int> n(static_cast<size_t>(classes) + 1, 0), cases(n.size(), 0);  // last: missing
  for (int i = 0; i < data.size(); ++i) {
    int c = 0;
    bool missing = false;
    for (const int m : learner.markers) {
      const int g = data.genotype(i, m);
      missing = missing || g < 0 || g > 2;
      c = c * 3 + g;
    }
    const auto slot = static_cast<size_t>(missing ? classes : c);
    ++n[slot];
    if (data.y(i) > 0) ++cases[slot];
  }
  std::ostringstream text;
  if (learner.k == 1) {
    text << "\nMarker\t " << learner.markers[0];
  } else {
    text << "\nMarkers\t " << learner.markers[0] << "," << learner.markers[1];
  }
  text << "\nGenotype\t ";
  for (int c = 0; c < classes; ++c) text << class_name(learner.k, c) << "\t\t";
  text << "\n# of individual\t ";
  for (size_t c = 0; c < n.size(); ++c) text << cases[c] << "/" << n[c] << "\t\t";
  std::vector<double> z;
  for (int c = 0; c < classes; ++c) z.push_back(class_statistic(cases[static_cast<size_t>(c)], n[static_cast<size_t>(c)], data));
  text << "\nStatistic value\t ";
  for (const double v : z) {
    if (v == 0.0) {
      text << "0\t\t";
    } else {
      text << std::trunc(v * 1000.0) / 1000.0 + 0.0 << "\t\t ";
    }
  }
  text << "\nP-value\t\t ";
  for (const double v : z) {
    if (v == 0.0) {
      text << "1\t\t ";
    } else {
      text << chisq_upper_tail(1, v * v, console) << "\t ";
    }
  }
  int groups = 0;
  const auto& group_of = learner.group_of_class;
  while (groups < classes && std::find(group_of.begin(), group_of.end(), groups) != group_of.end()) ++groups;
  text << "\nClustering results: " << groups << " groups \t ";
  std::vector<bool> listed(static_cast<size_t>(*std::max_element(group_of.begin(), group_of.end())) + 1, false);
  int j = 0;
  for (int c = 0; c < classes; ++c) {
    const int group = group_of[static_cast<size_t>(c)];
    if (listed[static_cast<size_t>(group)]) continue;
    listed[static_cast<size_t>(group)] = true;
    text << "S" << ++j << "={";
    bool first = true;
    for (int d = 0; d < classes; ++d) {
      if (group_of[static_cast<size_t>(d)] != group) continue;
      text << (first ? "" : ",") << class_name(learner.k, d);
      first = false;
    }
    text << "}\t";
  }
  text << "\n";
  return text.str();
}

// One block per marker (k = 1) or marker pair (k = 2) of consecutive
// learners.
std::string genotype_blocks(const FinalModel& model, int k, const RawData& data, std::ostream& console) {
  std::string text;
  const BaseLearner* previous = nullptr;
  for (const auto& learner : model.learners) {
    const bool same = previous && previous->k == learner.k && previous->markers == learner.markers;
    previous = &learner;
    if (learner.k != k || same) continue;
    text += genotype_block(learner, data, console);
  }
  return text;
}

std::string importance_section(const FinalModel& model) {
  std::ostringstream text;
  text << "\n\nImportant measure of the markers involved in the final model\n"
          "============================================================\n";
  text << "Marker   : ";
  for (const int m : model.best) text << m << "\t ";
  text << "\nImportant: ";
  const double total = std::accumulate(model.importance.begin(), model.importance.end(), 0.0);
  for (const int value : model.importance)
    text << (total > 0.0 ? std::trunc(value / total * 1000.0) / 10.0 : 0.0) << "\t ";
  text << "\n";
  return text.str();
}

}  // namespace

std::string first_ten_lines(const std::vector<int>& first, const std::vector<int>& last, int nm) {
  const auto shown = [nm](const std::vector<int>& genotypes) {
    std::string text;
    const auto count = std::min({static_cast<size_t>(std::max(std::min(nm, kShownGenotypes), 0)), genotypes.size()});
    for (size_t j = 0; j < count; ++j) text += std::to_string(genotypes[j]) + " ";
    return text;
  };
  return "The first ten marker of first individual " + shown(first) + "\n" +
         "The first ten marker of last  individual " + shown(last) + "\n";
}

std::vector<int> write_final_report(std::ostream& out, const WorkFiles& files, int r, const AnalysisInput& input,
                                    int ns, int nm, const FinalModel& model) {
  if (ns < 1) throw FatalError("Error: the report needs at least one individual\n", Channel::standard_error);
  const RawData data(input, r, ns);
  // In the file the rule runs straight into "Single Marker "; the console
  // shows the sums of squares on a line of their own between them.
  const std::string head = first_ten_lines(model.first_ten_first, model.first_ten_last, nm) + "\n" +
                           model_table(model, data.ybar()) + variable_table(model) +
                           "Markers or Marker combinations involved in the final model"
                           "\n==========================================================";
  const std::string singles = "Single Marker \n" + genotype_blocks(model, 1, data, out);
  const std::string pairs = "Two-locus combinations \n" + genotype_blocks(model, 2, data, out);
  const std::string tail = importance_section(model);

  replace_file(files.path("Final_result.txt"), copied_text(files.path(kParameterFile)) + head + singles + pairs + tail,
               "create");
  out << head << "\nsigma1=" << data.SS() << " ybar=" << data.ybar() << "\n" << singles << pairs << tail;

  std::vector<int> markers = model.best;
  markers.push_back(-1);
  return markers;
}

}  // namespace snp
