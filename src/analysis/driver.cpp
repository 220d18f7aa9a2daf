#include "analysis/driver.h"

#include <algorithm>
#include <fstream>
#include <ostream>

#include "analysis/parameter_file.h"
#include "analysis/permutation.h"
#include "base/errors.h"

namespace snp {
namespace {

constexpr int kNamedMarkers = 50;

}  // namespace

void show_first_markers(AnalysisContext& ctx, const AnalysisInput& input) {
  if (input.columns.empty()) return;
  const auto& row = input.columns.front();
  const int shown = std::min({kNamedMarkers, ctx.driver.nm, static_cast<int>(row.size())});
  for (int i = 0; i < shown; ++i) {
    const int marker = row[static_cast<size_t>(i)];
    int chromosome = 0, locus = 0;
    ctx.naming.return_chromosome_and_locus(marker, &chromosome, &locus);
    ctx.out() << "i=" << i << "\t marker=" << marker << "\t name = " << ctx.naming.findSNPname(chromosome, locus)
              << "\t chr " << chromosome << "\t locus" << locus << "\n";
  }
}

std::vector<int> main_elas3(AnalysisContext& ctx, const AnalysisInput& input) {
  gethostname(ctx);
  int head = 0, recorder_num = 0;  // read for completeness; the driver does not use them
  ReadPara(ctx, &ctx.driver.ns, &ctx.driver.nm, &ctx.driver.missingrepeat, &head, &recorder_num);
  show_first_markers(ctx, input);
  if (ctx.driver.missingrepeat != 1) {
    missingdatatest(ctx, input, permutation_simulation);
    return {};
  }
  std::vector<int> final_markers = permutation_simulation(ctx, input);
  // The list ends at its first entry that is not a marker.
  final_markers.erase(std::find_if(final_markers.begin(), final_markers.end(), [](int m) { return m <= 0; }),
                      final_markers.end());
  const auto& row = input.columns.empty() ? std::vector<int>{} : input.columns.front();
  for (size_t j = 0; j < final_markers.size() && j < kNamedMarkers; ++j) {
    const auto m = static_cast<size_t>(final_markers[j] - 1);
    if (m >= row.size())
      throw FatalError("Error: final marker " + std::to_string(final_markers[j]) + " has no marker column\n",
                       Channel::standard_error);
    int chromosome = 0, locus = 0;
    ctx.naming.return_chromosome_and_locus(row[m], &chromosome, &locus);
    ctx.out() << "i=" << j << "\t CSMmarker=" << final_markers[j] << " \tmarker=" << row[m]
              << "\t name = " << ctx.naming.findSNPname(chromosome, locus) << "\t chr " << chromosome << "\t locus"
              << locus << "\n";
  }
  return final_markers;
}

void missingdatatest(AnalysisContext& ctx, const AnalysisInput& input, const AnalysisRun& analysis) {
  ctx.out() << "repeat=" << ctx.driver.repeat << "\n" << "permutation=" << ctx.driver.permutation << "\n";
  for (int i = ctx.driver.missingrepeat - 1; i >= 0; --i) {
    ctx.out() << "i=" << i << "\n";
    analysis(ctx, input);
    const std::string number = std::to_string(i + 1);
    filecopy(ctx.work_file("Final_result.txt"), ctx.work_file("Final_result" + number + ".txt"));
    filecopy(ctx.work_file("P_value.txt"), ctx.work_file("P_value" + number + ".txt"));
  }
}

void filecopy(const std::string& source, const std::string& target) {
  std::ifstream in(source, std::ios::binary);
  if (!in) throw InputError(InputProblem::cannot_open, "Don't find file " + source + "\n", Channel::standard_output);
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) throw FatalError("Error: cannot create " + target + "\n", Channel::standard_error);
  char c = 0;
  if (in >> c) {
    do {
      if (static_cast<unsigned char>(c) == 0xFF) break;
      out.put(c);
    } while (in.get(c));
  }
  out.close();
  if (!out) throw FatalError("Error: cannot write " + target + "\n", Channel::standard_error);
}

}  // namespace snp
