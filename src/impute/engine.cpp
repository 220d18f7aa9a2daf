#include "impute/engine.h"

#include <string>

#include "base/errors.h"
#include "impute/fast_engine.h"
#include "impute/reference_engine.h"

namespace snp {

std::unique_ptr<ImputationEngine> make_engine(EngineKind kind, const EngineInput& input) {
  if (kind == EngineKind::fast) return std::make_unique<FastEngine>(input);
  return std::make_unique<ReferenceEngine>(input);
}

void require_typed_markers(int usable_typed_markers) {
  if (usable_typed_markers < 2)
    throw InputError(InputProblem::inconsistent,
                     "Error: " + std::to_string(usable_typed_markers) +
                         " usable typed markers (study markers found in the panel by name, with comparable "
                         "letters and polymorphic there); at least 2 are needed to impute\n");
}

int output_code(int observed, int called, double probability, double threshold) {
  if (observed >= 0 && observed <= 2) return observed;
  // A probability of 0 means nothing was estimated: never a call.
  return probability > 0.0 && probability > threshold ? called : -1;
}

}  // namespace snp
