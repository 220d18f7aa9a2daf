#include "single_marker/five_model_screen.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "base/errors.h"
#include "base/output_file.h"
#include "base/parallel.h"
#include "single_marker/mapped_file.h"
#include "single_marker/quickindex1.h"
#include "single_marker/screen_table.h"

namespace snp::screen {
namespace {

constexpr double kNominalThreshold = 0.002;
constexpr double kFdrRate = 0.05;
// Markers tested by one thread at least.
constexpr size_t kMarkersPerThread = 100000;
// The minimum model's thresholds are four times smaller.
constexpr double kMinimumModelShare = 0.25;
// Statistics whose chi-square upper tail is 0.05, for 1 and 2 degrees of
// freedom, lowered by 1%: far more than the evaluation's error, so every
// statistic below gives a p-value above 0.05.
constexpr std::array<double, 3> kEvaluateFrom = {0.0, 3.841458820694124 * 0.99, 5.991464547107979 * 0.99};

template <class... Items>
void write_both(std::ostream& first, std::ostream& second, const Items&... items) {
  (first << ... << items);
  (second << ... << items);
}

std::span<const double> pvalues_of(const ScreenTables& t, int model) {
  if (model == kMinimumModel) return t.minimum;
  return t.p[static_cast<size_t>(model)];
}

// Markers at or below `threshold`, in ascending order; returns their count.
int list_nominal(std::span<const double> p, int model, double threshold, std::ostream& out) {
  int count = 0;
  for (size_t j = 0; j < p.size(); ++j) {
    if (p[j] > threshold) continue;
    out << "model=" << modelname[static_cast<size_t>(model)] << " i=" << j << " pvalue=" << p[j] << '\n';
    ++count;
  }
  return count;
}

}  // namespace

void report_nominal(const ScreenTables& t, std::ostream& out) {
  std::array<int, 5> counts{};
  for (int m = 0; m < 4; ++m)
    counts[static_cast<size_t>(m)] = list_nominal(pvalues_of(t, m), m, kNominalThreshold, out);
  counts[kMinimumModel] = list_nominal(t.minimum, kMinimumModel, kNominalThreshold * kMinimumModelShare, out);
  for (int m = 0; m < 4; ++m)
    out << "model=" << modelname[static_cast<size_t>(m)] << " # of marker's pvalue<0.002="
        << counts[static_cast<size_t>(m)] << '\n';
  out << "model=" << modelname[kMinimumModel] << " # of marker's pvalue<0.002/4=" << counts[kMinimumModel] << '\n';
}

double fdr_rate(int model) { return model == kMinimumModel ? kFdrRate * kMinimumModelShare : kFdrRate; }

void report_fdr(ScreenContext& ctx, const ScreenTables& t, int model, std::ostream& file) {
  const auto p = pvalues_of(t, model);
  const double rate = fdr_rate(model);
  std::vector<int> order = fdr_candidates(p, rate);
  std::vector<double> sorted(order.size());
  for (size_t r = 0; r < order.size(); ++r) sorted[r] = p[static_cast<size_t>(order[r])];
  const int count = fdr_selected_count(sorted, static_cast<int>(p.size()), rate);
  std::function<double(size_t)> evaluated;
  if (t.evaluated)
    evaluated = [&](size_t j) {
      const ModelPvalues all = t.evaluated(j);
      return model == kMinimumModel ? minimum_of(all).value : all[static_cast<size_t>(model)];
    };
  order = fdr_selection(p, std::move(order), count, evaluated);
  std::ostream& out = *ctx.console;
  write_both(out, file, "model=", modelname[static_cast<size_t>(model)], " # of satisfy FDR marker, i. e.  len=", count,
             '\n');
  for (int r = 0; r < count; ++r) {
    const int marker = order[static_cast<size_t>(r)];
    if (ctx.markers) {
      const auto j = static_cast<size_t>(marker);
      write_both(out, file, "FDR find Marker=", marker, "\t i.e. chr=", ctx.markers->chromosome(j), "\t locus=",
                 ctx.markers->position(j), "\t pvalue=", p[j]);
    } else {
      int chromosome = 0, locus = 0;
      ctx.naming.return_chromosome_and_locus(marker, &chromosome, &locus);
      write_both(out, file, "FDR find Marker=", marker, "\t i.e. chr=", chromosome, "\t locus=", locus,
                 "\t pvalue=", p[static_cast<size_t>(marker)]);
    }
    if (model == kMinimumModel)
      write_both(out, file, " corresponding  model=", modelname[t.minimum_model[static_cast<size_t>(marker)]]);
    write_both(out, file, '\n');
  }
}

namespace {

// More rows of a group than the study's size would give frequencies above 1.
void check_group_sizes(const MarkerCounts& counts, const SampleSize& samplesize, const std::string& path) {
  const auto check = [&](int rows, int size, const char* group, const char* option) {
    if (rows > size)
      throw inconsistent_file(path, std::to_string(rows) + " lines are " + group + ", more than the " +
                                        std::to_string(size) + " " + group + " of the study (" + option + ")");
  };
  check(counts.case_rows(), samplesize.cases, "cases", "--cases");
  check(counts.control_rows(), samplesize.controls, "controls", "--controls");
}

}  // namespace

MinimumPvalue minimum_of(const ModelPvalues& p) {
  MinimumPvalue minimum{p[0], 0};
  for (int m = 1; m < 4; ++m)
    if (p[static_cast<size_t>(m)] < minimum.value) minimum = {p[static_cast<size_t>(m)], m};
  return minimum;
}

double screened_pvalue(double statistic, int df) {
  if (statistic >= 0 && df >= 1 && df < static_cast<int>(kEvaluateFrom.size()) &&
      statistic < kEvaluateFrom[static_cast<size_t>(df)])
    return kNotEvaluated;
  return pvalue_of(statistic, df);
}

namespace {

template <class Counts>
ScreenTables test_markers(size_t markers, const Counts& counts_of, const SampleSize& samplesize) {
  ScreenTables t;
  for (auto& model : t.p) model.resize(markers);
  t.minimum.resize(markers);
  t.minimum_model.resize(markers);
  const unsigned threads = worker_count(markers, kMarkersPerThread);
  parallel_for(static_cast<int>(threads), static_cast<int>(threads), [&](int k, int) {
    const auto part = static_cast<unsigned>(k);
    ModelPvalues p{};
    for (size_t j = markers * part / threads; j < markers * (part + 1) / threads; ++j) {
      const ModelStatistics s = statistics_from_counts(counts_of(j), samplesize);
      for (size_t m = 0; m < 4; ++m) t.p[m][j] = p[m] = screened_pvalue(s.value[m], s.df[m]);
      const MinimumPvalue minimum = minimum_of(p);
      t.minimum[j] = minimum.value;
      t.minimum_model[j] = static_cast<std::uint8_t>(minimum.model);
    }
  });
  t.evaluated = [counts_of, samplesize](size_t j) {
    ModelPvalues p{};
    pvalues_from_counts(counts_of(j), samplesize, p);
    return p;
  };
  return t;
}

}  // namespace

ScreenTables test_all_markers(const MarkerCounts& counts, const SampleSize& samplesize) {
  return test_markers(
      static_cast<size_t>(counts.markers()), [&](size_t j) { return counts.at(static_cast<int>(j)); }, samplesize);
}

int fdr_selected_count(std::span<const double> sorted, int M, double rate) {
  for (auto r = static_cast<int>(sorted.size()); r >= 1; --r)
    if (sorted[static_cast<size_t>(r - 1)] <= r * rate / M) return r;
  return 0;
}

std::vector<int> fdr_candidates(std::span<const double> p, double rate) {
  const auto M = static_cast<double>(p.size());
  const double largest_threshold = M * rate / M;
  std::vector<int> markers;
  std::vector<double> values;
  for (size_t j = 0; j < p.size(); ++j) {
    if (p[j] > largest_threshold) continue;
    markers.push_back(static_cast<int>(j));
    values.push_back(p[j]);
  }
  std::vector<int> index(values.size());
  Quickindex1(values.data(), index.data(), static_cast<int>(values.size()));
  for (auto& position : index) position = markers[static_cast<size_t>(position)];
  return index;
}

std::vector<int> fdr_selection(std::span<const double> p, std::vector<int> candidates, int count,
                               const std::function<double(size_t)>& evaluated) {
  const auto value = [&](int r) { return p[static_cast<size_t>(candidates[static_cast<size_t>(r)])]; };
  const int last = std::min(count, static_cast<int>(candidates.size()) - 1);
  bool tied = false;
  for (int r = 0; r < last && !tied; ++r) tied = value(r) == value(r + 1);
  if (tied) {
    // Equal p-values come in the order of the index sort over all markers,
    // which depends on every value, not only on the candidates'.
    std::vector<double> full(p.begin(), p.end());
    if (evaluated) {
      const unsigned threads = worker_count(full.size(), kMarkersPerThread);
      parallel_for(static_cast<int>(threads), static_cast<int>(threads), [&](int part, int) {
        const auto k = static_cast<size_t>(part);
        for (size_t j = full.size() * k / threads; j < full.size() * (k + 1) / threads; ++j)
          if (full[j] == kNotEvaluated) full[j] = evaluated(j);
      });
    }
    candidates.assign(full.size(), 0);
    Quickindex1(full.data(), candidates.data(), static_cast<int>(full.size()));
  }
  candidates.resize(static_cast<size_t>(count));
  return candidates;
}

namespace {

// The table into the caller's opened file, or into its own.
void write_screen_table(ScreenContext& ctx, size_t markers, const std::function<genotypes::Marker(size_t)>& label,
                        const std::function<GenotypeCounts(size_t)>& counts, const SampleSize& samplesize) {
  const auto fill = [&](std::ostream& out) { write_screen_table(out, markers, label, counts, samplesize); };
  if (ctx.outputs)
    fill(ctx.outputs->table());
  else
    write_file_atomically(ctx.table_prefix + kTableSuffix, fill);
}

}  // namespace

int single_marker_test_five_model(ScreenContext& ctx) {
  const ScreenSettings& s = ctx.settings;
  const std::string path = s.Datapath2 + kDataFileName;
  const MarkerCounts counts = read_case_control_counts(path, s.Sample, s.Marker);
  check_group_sizes(counts, s.samplesize, path);
  if (counts.longest_line_codes() < s.Marker)
    *ctx.warnings << "Warning: " << path << ": no line holds the " << s.Marker
                  << " codes that --markers gives (the longest holds " << counts.longest_line_codes()
                  << "); the markers after those are missing on every line\n";
  *ctx.console << "read data is finished\n";
  report_all(ctx, test_all_markers(counts, s.samplesize));
  if (!ctx.table_prefix.empty()) {
    // The data file names no marker: the naming's chromosome and locus, the
    // SNP name where the chromosome's name file exists, else the marker's
    // number; no alleles.
    std::map<int, bool> has_names;
    write_screen_table(
        ctx, static_cast<size_t>(counts.markers()),
        [&](size_t j) {
          int chromosome = 0, locus = 0;
          ctx.naming.return_chromosome_and_locus(static_cast<int>(j), &chromosome, &locus);
          const auto known = has_names.try_emplace(chromosome, std::filesystem::exists(ctx.naming.name_file(chromosome)));
          const std::string name =
              known.first->second ? ctx.naming.findSNPname(chromosome, locus) : std::to_string(j);
          return genotypes::Marker{std::to_string(chromosome), name, locus, "NA", "NA"};
        },
        [&](size_t j) { return counts.at(static_cast<int>(j)); }, s.samplesize);
  }
  return 0;
}

int screen_genotype_input(ScreenContext& ctx, const GenotypeInput& input) {
  ctx.markers = &input.markers;
  *ctx.console << "read data is finished\n";
  report_all(ctx, test_markers(
                      input.counts.size(), [&](size_t j) { return input.counts[j]; }, input.samplesize));
  if (!ctx.table_prefix.empty())
    write_screen_table(
        ctx, input.counts.size(), [&](size_t j) { return input.markers.at(j); },
        [&](size_t j) { return input.counts[j]; }, input.samplesize);
  return 0;
}

void report_all(ScreenContext& ctx, const ScreenTables& tables) {
  std::ostream& out = *ctx.console;
  report_nominal(tables, out);

  if (ctx.outputs) {
    std::ostream* file = ctx.outputs->fdr();
    if (!file) throw FatalError("find error to open FDR_results.txt\n", Channel::standard_output);
    for (int m = 0; m <= kMinimumModel; ++m) report_fdr(ctx, tables, m, *file);
    out.flush();
    return;
  }
  const std::string result_path = ctx.result_directory + kResultFileName;
  std::optional<ReplacingFile> file;
  if (!std::filesystem::is_directory(result_path)) file.emplace(result_path);
  if (!file || !file->created()) throw FatalError("find error to open FDR_results.txt\n", Channel::standard_output);
  for (int m = 0; m <= kMinimumModel; ++m) report_fdr(ctx, tables, m, file->stream());
  if (!file->commit()) throw FatalError("Error: cannot write " + result_path + "\n", Channel::standard_error);
  out.flush();
}

}  // namespace snp::screen
