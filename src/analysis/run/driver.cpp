#include "analysis/run/driver.h"

#include <algorithm>
#include <ostream>

#include "analysis/inputs/parameter_file.h"
#include "analysis/permutation/permutation.h"
#include "analysis/run/repeated_analysis.h"
#include "base/errors.h"

namespace snp {
namespace {

constexpr int kNamedMarkers = 50;

// The list ends at its first entry that is not a marker.
std::vector<int> up_to_end_mark(std::vector<int> markers) {
  markers.erase(std::find_if(markers.begin(), markers.end(), [](int m) { return m <= 0; }), markers.end());
  return markers;
}

// Writes `head`, then "\t name = NAME\t chr C\t locusL" of genotype column
// `marker` and the line end; the place is looked up before anything is
// written.
void write_named_marker(AnalysisContext& ctx, const std::string& head, int marker) {
  if (!ctx.labels.empty()) {
    const MarkerLabel& label = ctx.labels.at(static_cast<size_t>(marker));
    ctx.out() << head << "\t name = " << label.snp << "\t chr " << label.chromosome << "\t locus" << label.position
              << "\n";
    return;
  }
  int chromosome = 0, locus = 0;
  ctx.naming.return_chromosome_and_locus(marker, &chromosome, &locus);
  ctx.out() << head << "\t name = " << ctx.naming.findSNPname(chromosome, locus) << "\t chr " << chromosome
            << "\t locus" << locus << "\n";
}

}  // namespace

bool phenotype_is_constant(const AnalysisInput& input, int ns) {
  if (input.phenotypes.empty()) return false;
  const auto& y = input.phenotypes.front();
  const auto n = std::min(static_cast<size_t>(std::max(ns, 0)), y.size());
  const auto end = y.begin() + static_cast<std::ptrdiff_t>(n);
  return n > 0 && std::all_of(y.begin(), end, [&](short v) { return v == y.front(); });
}

void show_first_markers(AnalysisContext& ctx, const AnalysisInput& input, int nm) {
  if (input.columns.empty()) return;
  const auto& row = input.columns.front();
  const int shown = std::min({kNamedMarkers, nm, static_cast<int>(row.size())});
  for (int i = 0; i < shown; ++i) {
    const int marker = row[static_cast<size_t>(i)];
    write_named_marker(ctx, "i=" + std::to_string(i) + "\t marker=" + std::to_string(marker), marker);
  }
}

std::vector<int> main_elas3(AnalysisContext& ctx, const AnalysisInput& input) {
  ctx.hostname = host_name();
  const AnalysisSettings settings = read_analysis_settings(ctx.files(), ctx.out());
  settings.driver_notes.show(ctx.out(), ctx.warn());
  const DriverSettings& driver = settings.driver;
  show_first_markers(ctx, input, driver.nm);
  if (phenotype_is_constant(input, settings.search.sample_size))
    ctx.warn() << "Warning: all individuals have the phenotype " << input.phenotypes.front().front()
               << ": no association test is possible; the p-value 0.5 in P_value.txt is not the result of a test\n";

  // Every analysis shows the notes of the parameter file as it takes its
  // parameters.
  RepeatedAnalysis repeated(ctx);
  const auto analysis = [&] {
    settings.search_notes.show(ctx.out(), ctx.warn());
    ctx.counters = {settings.search.simulated_repetitions, settings.search.number_of_permutation};
    return repeated.run([&] {
      return run_analysis(settings.search, driver.ns, driver.nm, input,
                          {ctx.out(), ctx.files(), ctx.shown, ctx.tally, ctx.threads, &ctx.jobs});
    });
  };
  // Repeated analyses name no markers on the console; their result is that
  // of the last analysis, whose reports stay as "Final_result.txt" and
  // "P_value.txt".
  // A job analyses its permutations once: repetitions would repeat them.
  const int analyses = ctx.jobs.range ? std::min(driver.missingrepeat, 1) : driver.missingrepeat;
  if (analyses != 1) return up_to_end_mark(run_repeated_analyses(ctx, analyses, analysis));
  const std::vector<int> final_markers = up_to_end_mark(analysis());
  const auto& row = input.columns.empty() ? std::vector<int>{} : input.columns.front();
  for (size_t j = 0; j < final_markers.size() && j < kNamedMarkers; ++j) {
    const auto m = static_cast<size_t>(final_markers[j] - 1);
    if (m >= row.size())
      throw FatalError("Error: final marker " + std::to_string(final_markers[j]) + " has no marker column\n",
                       Channel::standard_error);
    write_named_marker(ctx,
                       "i=" + std::to_string(j) + "\t CSMmarker=" + std::to_string(final_markers[j]) +
                           " \tmarker=" + std::to_string(row[m]),
                       row[m]);
  }
  return final_markers;
}

std::vector<int> run_repeated_analyses(AnalysisContext& ctx, int repeats,
                                       const std::function<std::vector<int>()>& analysis) {
  ctx.out() << "repeat=" << ctx.counters.repeat << "\n" << "permutation=" << ctx.counters.permutation << "\n";
  std::vector<int> last;
  for (int i = repeats - 1; i >= 0; --i) {
    ctx.out() << "i=" << i << "\n";
    last = analysis();
    keep_numbered_reports(ctx.files(), i + 1);
  }
  return last;
}

}  // namespace snp
