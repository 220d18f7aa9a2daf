// One search coupled with one model fit, and the turning of the fitted
// coefficients into base learners with marker importances.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "analysis/search/best_cluster.h"
#include "analysis/search/csm.h"
#include "numeric/arrays.h"

namespace snp {

class SearchAndFit {
 public:
  // Fits what `csm` stores, writing the coefficients to `beta_file`.
  SearchAndFit(CSM& csm, std::ostream& out, std::string beta_file);

  // Searches data set r and fits the store file the search wrote. Returns
  // the fit's Cp ratio, or LARS::kNoFit when the design has no column (the
  // coefficient file is then removed).
  double run(int r, const AnalysisInput& input);

 private:
  CSM& csm_;
  std::ostream& out_;
  std::string beta_file_;
};

// The coefficient file as read back: beta and scale by column (zero where
// the file lists no coefficient) and the number of listed coefficients.
struct BetaFile {
  int columns = 0;
  int count = 0;
  std::vector<double> beta;
  std::vector<double> scale;
};

// Reads the coefficient file, echoing every coefficient on `out`.
BetaFile read_beta_file(const std::string& file, std::ostream& out);

// A base learner of the final model: one risk group of a kept marker set.
struct BaseLearner {
  int number = 0;                   // from 0, in order of the coefficients
  int k = 0;                        // markers of the set
  std::vector<int> markers;         // the set's markers (1-based analysis markers)
  std::vector<int> codes;           // genotype classes of the group
  double coefficient = 0.0;
  double importance = 0.0;          // |coefficient| / k / scale
  std::vector<int> group_of_class;  // per genotype class 0..3^k-1: its group (0 when none)
  double group_average = 0.0;       // the group's share above the mean
};

// Adds (|beta| / k) / scale to the importance of each of the record's k
// markers, stores the markers and lists the genotype classes of `group`.
void add_marker_importance(const BestClusterInformation& record, DoubleVector& importance, double beta,
                             double scale, bool verbose, std::vector<int>& markers, std::vector<int>& codes,
                             int group, std::ostream& out);

// The learner for group `group` of `record` with its coefficient.
BaseLearner make_base_learner(int number, const BestClusterInformation& record, int group,
                                     const std::vector<int>& markers, const std::vector<int>& codes,
                                     double coefficient, double scale);

}  // namespace snp
