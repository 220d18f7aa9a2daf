#include "analysis/permutation/permutation.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <optional>
#include <sstream>

#include "analysis/search/csm.h"
#include "analysis/fit/csm_lars.h"
#include "analysis/report/final_report.h"
#include "analysis/fit/lars.h"
#include "analysis/permutation/parallel_permutations.h"
#include "analysis/permutation/permutation_parts.h"
#include "analysis/search/quickindex.h"
#include "analysis/state/transcript.h"
#include "base/errors.h"

namespace snp {
namespace {

constexpr double kNoEvidence = 0.5;
constexpr double kSignificance = 0.05;

std::vector<std::unique_ptr<BestClusterInformation>> restore_records(const std::string& store, int count) {
  std::vector<std::unique_ptr<BestClusterInformation>> records;
  for (int n = 0; n < count; ++n) {
    auto record = BestClusterInformation::ReStore(store, n);
    if (!record) throw inconsistent_file(store, "record " + std::to_string(n) + " is missing or incomplete");
    records.push_back(std::move(record));
  }
  return records;
}

// Takes the coefficients in column order over the groups that became
// columns, and keeps a base learner for every nonzero one.
void collect_base_learners(std::ostream& out, const std::vector<std::unique_ptr<BestClusterInformation>>& records,
                           const BetaFile& beta, const std::string& beta_file, ObservedModel& model) {
  int q = 0;
  for (size_t n = 0; n < records.size(); ++n) {
    const auto& record = *records[n];
    out << "BCIpointer->Nozerogroupnum=" << record.Nozerogroupnum << "\n";
    record.ShowMemberInGroup(out);
    bool any = false;
    for (int k = 0; k <= static_cast<int>(record.Nozerogroupnum) - 2; ++k) {
      const double f = record.GroupFrequency[static_cast<size_t>(k)];
      if (!(f > 0.0 && f < 1.0)) continue;
      if (q >= beta.columns)
        throw inconsistent_file(beta_file, "holds " + std::to_string(beta.columns) +
                                                               " columns, the store file more");
      const auto column = static_cast<size_t>(q++);
      if (beta.beta[column] == 0.0) continue;
      std::vector<int> markers, codes;
      add_marker_importance(record, model.importance, beta.beta[column], beta.scale[column], true, markers, codes,
                              k, out);
      out << "group k=" << k << " beta[" << column << "]=>markerset=" << n << "\n";
      model.learners.push_back(make_base_learner(static_cast<int>(model.learners.size()), record, k, markers, codes,
                                                 beta.beta[column], beta.scale[column]));
      any = true;
    }
    if (any) record.ShowMemberInGroup(out);
  }
  if (beta.count != q) out << "nC=" << beta.count << " q=" << q << "\n";
}

bool any_selected(const BitSet& selected) {
  for (unsigned m = 0; m < selected.size(); ++m)
    if (selected.test(m)) return true;
  return false;
}

// The fit values of the permutations: taken from the parts of a merge, or
// analysed (side by side on several threads, each data set from its own
// generator state), for a job only in its range, the data sets before it
// skipped past; a job's are also recorded in `part`.
std::vector<double> run_permutations(std::ostream& out, CSM& csm, SearchAndFit& coupling, const AnalysisInput& input,
                                     double cp0, const AnalysisIo& io, Rand1State& generator, const std::string& beta_file,
                                     PermutationPart* part) {
  csm.set_permutation(true);
  const PermutationJobs* jobs = io.jobs;
  const int total = csm.parameters().number_of_permutation;
  std::vector<double> permuted;
  const auto take = [&](const std::string& console, double fit) {
    out << console;
    permuted.push_back(fit);
    if (part) {
      part->fits.push_back(fit);
      part->console.push_back(console);
    }
  };
  if (jobs && jobs->merging()) {
    for (int number = 1; number <= total; ++number) {
      const PermutationPart* from = jobs->part_of(number);
      if (!from || !from->ran)
        throw InputError(InputProblem::inconsistent,
                         "Error: no part holds permutation " + std::to_string(number) + " of this run\n");
      const auto at = static_cast<size_t>(number - from->range.first);
      take(from->console[at], from->fits[at]);
    }
    return permuted;
  }
  const int end = part ? std::min(total, part->range.last) : total;
  int p = part ? std::min(part->range.first - 1, end) : 0;
  if (p > 0 && p < end) {
    // A job starts where the data sets before its range leave the generator.
    std::ostream nowhere(nullptr);
    OnceNotes shown_nowhere{true, true};
    CSM skipper(csm.parameters(), {nowhere, generator, shown_nowhere, csm.store_file(), 1});
    for (int q = 0; q < p; ++q)
      if (!skipper.skip(input.first_permuted + q, input))
        throw FatalError("find error read output_X_Y.txt\n", Channel::standard_error);
  }
  if (io.threads > 1 && io.shown.cluster_method_shown && end - p > 1) {
    const ParallelPermutations parallel{csm.parameters(), input, io.files, csm.store_file(), beta_file, cp0, io.threads};
    p = parallel.run(p, end, generator, [&](PermutedFit& fit) { take(fit.console, fit.fit); });
  }
  for (; p < end; ++p) {
    std::optional<Transcript> recording;
    if (part) recording.emplace(out);
    out << "permutation = " << p << " \n";
    const double fit = coupling.run(input.first_permuted + p, input);
    out << "Cp0=" << cp0 << " Cp_per=" << fit << "\n";
    permuted.push_back(fit);
    if (part) {
      std::string text;
      for (const auto& piece : recording->pieces()) text += piece;
      part->fits.push_back(fit);
      part->console.push_back(std::move(text));
    }
  }
  return permuted;
}

std::string whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FatalError("file open find error for file=" + path + "\n", Channel::standard_error);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes the part of a job: its permutations and, when it ran the last
// one, the work files that run left.
void write_part(const AnalysisIo& io, const CSM& csm, const std::string& beta_file, PermutationPart part) {
  const int total = csm.parameters().number_of_permutation;
  part.total = total;
  part.holds_last = part.ran && total > 0 && part.range.first <= total && part.range.last >= total;
  if (part.holds_last) {
    part.store = whole_file(csm.store_file());
    if (std::filesystem::exists(beta_file)) part.coefficients = whole_file(beta_file);
  }
  const std::string path = io.files.path(part_file_name(part.range));
  replace_file(path, part_text(part));
  io.out << "part written: " << path << "\n";
}

// After a merge, the work files are those the last permutation left.
void restore_last_work_files(const AnalysisIo& io, const CSM& csm, const std::string& beta_file) {
  for (const auto& part : io.jobs->parts) {
    if (!part.holds_last) continue;
    replace_file(csm.store_file(), part.store);
    if (part.coefficients) {
      replace_file(beta_file, *part.coefficients);
    } else {
      std::error_code ignored;
      std::filesystem::remove(beta_file, ignored);
    }
  }
}

// Selected markers in decreasing order of importance, into `model`.
void rank_markers(std::ostream& out, const ObservedModel& observed, double level, int M, FinalModel& model) {
  IntVector index = ivector(1, M);
  Quickindex(observed.importance, index, M);
  for (int i = M; i >= 1; --i) {
    const int m = index[i];
    if (!observed.selected.test(static_cast<unsigned>(m))) continue;
    model.best.push_back(m);
    model.importance.push_back(static_cast<int>(std::trunc(std::abs(observed.importance[m]))));
  }
  out << (level < kSignificance ? "Best marker is " : "drop marker is ");
  for (const int m : model.best) out << m << ' ';
  out << "\n" << (level < kSignificance ? "Importantmeasure is " : "importantmeasure is ");
  for (const int v : model.importance) out << v << ' ';
  out << "\n";
  for (unsigned m = 0; m < observed.selected.size(); ++m) out << (observed.selected.test(m) ? '1' : '0');
  out << "\n";
}

void tally_selection(std::ostream& out, SelectionTally& tally, const BitSet& selected, double p_value) {
  if (p_value < kSignificance) {
    for (unsigned m = 1; m <= 2; ++m) tally.first_two += selected.test(m) ? 1 : 0;
    for (unsigned m = 0; m < selected.size(); ++m) tally.all += selected.test(m) ? 1 : 0;
  }
  // A repeated analysis prints the same text around a tally of its own.
  mark_transcript(out);
  write_unrecorded(out, tally_text(tally));
}

}  // namespace

std::string tally_text(const SelectionTally& tally) {
  return "nn=" + std::to_string(tally.first_two) + ":):):):):):)))\n" + "mm=" + std::to_string(tally.all) +
         ":(:(:(:(:(:(((\n";
}

ObservedModel read_observed_model(std::ostream& out, const std::string& store, const std::string& beta_file, int M) {
  ObservedModel model;
  model.importance = dvector(1, M);
  model.selected = BitSet(static_cast<unsigned>(M) + 1);
  const int count = count_store_records(store);
  if (count == 0) {
    out << "CSM Method find there aren't any model for the data\n";
    return model;
  }
  const auto records = restore_records(store, count);
  // Without a fit there is no coefficient file.
  const BetaFile beta = std::filesystem::exists(beta_file) ? read_beta_file(beta_file, out) : BetaFile{};
  if (beta.count == 0) {
    out << "LARS Method find there aren't any model for the data\n";
    return model;
  }
  collect_base_learners(out, records, beta, beta_file, model);
  for (int m = 1; m <= M; ++m) {
    model.importance[m] = std::abs(model.importance[m]);
    if (model.importance[m] > 0.0) model.selected.set(static_cast<unsigned>(m));
  }
  model.found = true;
  return model;
}

int count_store_records(const std::string& path) {
  TagReader in(path);
  if (!in.is_open()) throw FatalError("file open find error for file=" + path + "\n", Channel::standard_error);
  long largest = -1;
  while (in.find("<number ") != 0) {
    long n = -1;
    if (in.stream() >> n) {
      if (n >= INT_MAX) throw inconsistent_file(path, "record number " + std::to_string(n) + " is too large");
      largest = std::max(largest, n);
    }
    in.stream().clear();
  }
  return static_cast<int>(largest + 1);
}

double permutation_p_value(double observed, const std::vector<double>& permuted) {
  if (permuted.empty()) return 1.0;
  const auto below = std::count_if(permuted.begin(), permuted.end(), [&](double cp) { return cp < observed; });
  return static_cast<double>(below) / static_cast<double>(permuted.size());
}

std::string p_value_report(double p_value, double observed, const std::vector<double>& permuted) {
  const auto statistic = [](double cp) -> std::string {
    if (cp >= 1.0 || cp < 0.0) return "0";
    std::ostringstream text;
    text << 1.0 - cp;
    return text.str();
  };
  std::ostringstream text;
  text << "P-value information\n===================\nOverall P-value=" << p_value << "\n"
       << "\nThe value of statistics in original data set\nT0=" << statistic(observed) << "\n\n"
       << "The values of the statistics in permuted data sets\n\n";
  for (size_t p = 0; p < permuted.size(); ++p)
    text << "T0=" << statistic(observed) << "\t T" << p + 1 << "=" << statistic(permuted[p]) << "\n";
  return text.str();
}

std::vector<int> run_analysis(const CsmParameters& parameters, int ns, int nm, const AnalysisInput& input,
                              const AnalysisIo& io) {
  std::ostream& out = io.out;
  Rand1State generator;
  CSM csm(parameters, {out, generator, io.shown, io.files.host_path("output_X_Y.txt"), io.threads});
  const std::string beta_file = io.files.host_path("beta.txt");
  SearchAndFit coupling(csm, out, beta_file);
  const int M = csm.parameters().number_of_markers;
  out << "permutation=" << csm.parameters().number_of_permutation << "\n"
      << "nmarker=" << M << "\n" << "nsample=" << csm.parameters().sample_size << "\n";
  generator.seed(1, 3, 5);
  csm.set_permutation(false);

  // The one simulated repetition analyses the observed data, data set 0.
  out << "Simulation=" << 0 << "\n";
  const double cp0 = coupling.run(0, input);
  FinalModel final_model;
  final_model.first_ten_first = csm.first_ten_first();
  final_model.first_ten_last = csm.first_ten_last();
  const ObservedModel observed = read_observed_model(out, csm.store_file(), beta_file, M);
  double p_value = kNoEvidence;
  std::vector<double> permuted;
  const bool testing = observed.found && any_selected(observed.selected);
  std::optional<PermutationPart> part;
  if (io.jobs && io.jobs->range) {
    part.emplace();
    part->fingerprint = io.jobs->fingerprint;
    part->range = *io.jobs->range;
    part->ran = testing;
    part->observed = cp0;
  }
  if (io.jobs && io.jobs->merging() && io.jobs->parts.front().observed != cp0)
    throw InputError(InputProblem::inconsistent, "Error: the parts were made with another observed fit (" +
                                                     std::to_string(io.jobs->parts.front().observed) + ", here " +
                                                     std::to_string(cp0) + "): not from these inputs\n");
  if (testing) {
    permuted = run_permutations(out, csm, coupling, input, cp0, io, generator, beta_file, part ? &*part : nullptr);
    if (part) {
      write_part(io, csm, beta_file, std::move(*part));
      return {};
    }
    p_value = permutation_p_value(cp0, permuted);
    out << "pvalue=" << p_value << "\n";
    if (io.jobs && io.jobs->merging()) restore_last_work_files(io, csm, beta_file);
  } else if (part) {
    write_part(io, csm, beta_file, std::move(*part));
    return {};
  }
  replace_file(io.files.path("P_value.txt"), p_value_report(p_value, cp0, permuted));
  const double level = std::min(p_value, 1.0);
  rank_markers(out, observed, level, M, final_model);
  tally_selection(out, io.tally, observed.selected, p_value);

  if (observed.learners.empty()) {
    replace_file(io.files.path("Final_result.txt"),
                 copied_text(io.files.path(kParameterFile)) +
                     first_ten_lines(final_model.first_ten_first, final_model.first_ten_last, nm),
                 "create");
    return {};
  }
  final_model.learners = observed.learners;
  return write_final_report(out, io.files, 0, input, ns, nm, final_model);
}

}  // namespace snp
