// The imputation engines behind one interface: given a target reference
// marker, the calls of every study individual there.
#pragma once

#include <array>
#include <iosfwd>
#include <memory>
#include <vector>

#include "input/reference_panel.h"
#include "input/study_reader.h"

namespace snp {

// What an engine concluded for one individual at the target marker.
struct GenotypeCall {
  bool estimated = false;                 // false: no genotype could be estimated
  std::array<double, 3> probabilities{};  // of codes 0, 1, 2
  int output = -1;                        // the result file's code
};

// What both engines read: the panel, the coded study on the reference axis,
// the typed-marker list of the neighbourhood search and the calling
// threshold. All must outlive the engine.
struct EngineInput {
  const ReferencePanel& panel;
  const StudyGenotypes& study;
  const std::vector<int>& typed_markers;
  double threshold;
};

class ImputationEngine {
 public:
  virtual ~ImputationEngine() = default;
  // Imputes reference marker t (0-based; targets ascend from call to call).
  // Diagnostics of individuals the panel cannot explain go to `console`.
  virtual const std::vector<GenotypeCall>& impute(int t, std::ostream& console) = 0;
};

// The fast engine, or the step-by-step reference it is checked against: both
// give the same calls and diagnostics.
enum class EngineKind { fast, reference };
std::unique_ptr<ImputationEngine> make_engine(EngineKind kind, const EngineInput& input);

// Stops the run when the typed-marker list is too short for a neighbourhood.
void require_typed_markers(int usable_typed_markers);

// The observed code when typed, else the call when its probability is above
// the threshold (and above 0), else -1.
int output_code(int observed, int called, double probability, double threshold);

}  // namespace snp
