#include "analysis/inputs/search_parameters.h"

#include <algorithm>

namespace snp {
namespace {

constexpr const char* kMethodNames[] = {"newCSM", "oldCSM", "qvxtest", "onlyCSM", "tmptest", "CSMplus1Marker"};
constexpr double kDefaultFdrCutoff = 0.75;

}  // namespace

void CsmParameters::adjust() {
  if (!(fdr_cutoff > 0.0 && fdr_cutoff <= 1.0)) fdr_cutoff = kDefaultFdrCutoff;
  best_m = std::min(best_m, number_of_markers);
  max_set_size = best_m > 0 ? 2 : 1;
  simulated_repetitions = 1;
  significance_level = 0.05;
  method_index = 0;
}

const char* CsmParameters::method_name() const { return kMethodNames[method_index % 6]; }

}  // namespace snp
