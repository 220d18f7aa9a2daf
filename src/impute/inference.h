// Genotype inference at the target marker (step-by-step engine) and the
// tallies both engines share.
#pragma once

#include <array>
#include <iosfwd>

#include "impute/compatibility.h"
#include "input/study_reader.h"

namespace snp {

// Estimate for one individual: the most probable code and its probability,
// with the probabilities of codes 0, 1, 2; probability 0 and code -1 when no
// genotype could be estimated.
struct GenotypeEstimate {
  int code = -1;
  double probability = 0.0;
  std::array<double, 3> probabilities{};
};

// Estimate of individual r from the compatible reference pairs of all its
// phasings, or from the fallback when it has none. Prints the "count="
// diagnostic when its compatible pairs all miss the target allele.
GenotypeEstimate estimate_genotype(const ReferencePanel& panel, const StudyGenotypes& study, const Neighbourhood& n,
                                   StepTables& tables, int r, std::ostream& console);

// Fallback from consecutive reference row pairs with the longest runs of
// agreeing neighbourhood markers (probability 0 when no pair could be used).
GenotypeEstimate fallback_estimate(const ReferencePanel& panel, const StudyGenotypes& study, const Neighbourhood& n,
                                   int r);

// Fallback tally over visited row pairs: a longer run of agreeing markers
// restarts the counts, an equal one adds to them. The result is the code of
// a unique best visit with probability 1, else the most frequent code among
// the best visits with its share; probability 0 when nothing was counted.
class BestRunTally {
 public:
  void add(int run, int code);
  int result(double* p) const;
  // Probabilities of codes 0, 1, 2 behind result(); false when nothing was counted.
  bool distribution(std::array<double, 3>& probabilities) const;

 private:
  int best_run_ = 0;
  int ties_ = 0;
  int last_code_ = -1;
  long counts_[3] = {0, 0, 0};
};

// Code with the largest count, ties going to the lower code.
int most_frequent_code(const long counts[3]);

}  // namespace snp
