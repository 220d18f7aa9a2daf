#include "analysis/run/repeated_analysis.h"

#include "analysis/permutation/permutation.h"
#include "analysis/state/transcript.h"

namespace snp {

std::vector<int> RepeatedAnalysis::run(const std::function<std::vector<int>()>& analysis) {
  // Only the text around one tally can be printed again; an analysis that
  // prints none or several runs each time.
  if (recorded_ && recorded_->pieces.size() == 2) {
    std::ostream& out = ctx_.out();
    out << recorded_->pieces[0];
    ctx_.tally.first_two += recorded_->added.first_two;
    ctx_.tally.all += recorded_->added.all;
    out << tally_text(ctx_.tally) << recorded_->pieces[1];
    return recorded_->result;
  }
  const SelectionTally before = ctx_.tally;
  Recorded recorded;
  {
    Transcript transcript(ctx_.out());
    recorded.result = analysis();
    recorded.pieces = transcript.pieces();
  }
  recorded.added = {ctx_.tally.first_two - before.first_two, ctx_.tally.all - before.all};
  recorded_ = std::move(recorded);
  return recorded_->result;
}

}  // namespace snp
