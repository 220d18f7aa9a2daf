// Genotype inference at the target marker and the result line.
#pragma once

#include <array>
#include <string>

#include "model/run_data.h"

namespace snp {

// Probability of the most probable code of individual r at the target, from
// the compatible reference pairs (or the fallback for individuals without
// one); the code goes to *g. Returns 0.0 with *g unchanged when no genotype
// can be estimated.
double freq_value_012_truncate_with_missing_neighbourhood(RunContext& ctx, int r, int* g);

// Fallback from consecutive reference row pairs with the longest runs of
// agreeing neighbourhood markers; stores the code's probability in *p (0 when
// no pair could be used).
int find_max_march_value(RunContext& ctx, int r, double* p);

// Writes the result line of the target marker to ctx.fimput_out. Returns the
// number of typed individuals whose call equals their observed code.
double infer_value_with_missing_neighbourhood(RunContext& ctx, double* unused);

// Pieces of a result line: "index<TAB>name position letter letter " and the
// individuals' codes, each followed by a blank.
void append_line_header(std::string& line, const RunData& d, int t);
void append_code(std::string& line, int code);
// The observed code when typed, else the call when its probability is above
// the threshold (and above 0), else -1.
int output_code(int observed, int called, double probability, double threshold);

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
