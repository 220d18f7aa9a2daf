#include "analysis/permutation.h"

#include "analysis/csm.h"

namespace snp {

std::vector<int> permutation_simulation(AnalysisContext& ctx, const AnalysisInput& input) {
  CSM csm(ctx);
  ctx.driver.repeat = csm.parameters().simulated_repetitions;
  ctx.driver.permutation = csm.parameters().number_of_permutation;
  ctx.generator.seed(1, 3, 5);
  csm.set_permutation(false);
  csm.run(0, input);
  return {};
}

}  // namespace snp
