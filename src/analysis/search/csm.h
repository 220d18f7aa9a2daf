// analysis/search: the marker-set search and clustering.
//
// The CSM search: reads one data set, imputes its missing genotypes, orders
// and centres it, screens single markers and pairs of kept markers, scores
// the selected sets against phenotype permutations and writes the store
// file that the model fit reads.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "analysis/inputs/analysis_input.h"
#include "analysis/search/best_cluster.h"
#include "analysis/search/bit_set.h"
#include "analysis/search/marker_set.h"
#include "analysis/search/rand1.h"
#include "analysis/state/run_state.h"
#include "analysis/inputs/search_parameters.h"
#include "numeric/arrays.h"

namespace snp {

// What a search shares with the rest of its analysis: the console, the
// uniform generator, the notes shown once, and the store file it writes.
struct SearchIo {
  std::ostream& out;
  Rand1State& generator;
  OnceNotes& shown;
  std::string store_file;
  // Threads that score the selected sets; the result does not depend on it.
  int threads = 1;
};

class CSM {
 public:
  // Adjusts the parameters and sizes the data arrays; names the search
  // method once per run.
  CSM(CsmParameters parameters, SearchIo io);

  // Searches data set r, writes the store file and returns the kept sets;
  // nothing when there was no data or bad data (no store file then).
  std::optional<BestClusterInformationArray> run(int r, const AnalysisInput& input);
  // Leaves the generator as searching data set r would, without scoring
  // or storing anything: reads and screens the data set and jumps over the
  // draws of the sets it would score. False when the data set cannot be
  // read (a search would store nothing).
  bool skip(int r, const AnalysisInput& input);
  // Reads data set r and imputes missing genotypes from the marker's
  // genotype frequencies. Returns 0, or -1 on a genotype code other than
  // -1, 0, 1, 2.
  int read_data_set(int r, const AnalysisInput& input);
  // read_data_set, then cases to the front with balanced halves and the
  // phenotype centred. Returns read_data_set's result.
  int prepare_data_set(int r, const AnalysisInput& input);
  // Screening p-value of the set of rank `rank` among the k-subsets.
  double screening_p_value(int k, int rank) const;
  // Both screening stages; appends the scored sets to `array`.
  void screen_and_score(BestClusterInformationArray& array);
  // Score in [0, 1] of the set against 500 phenotype permutations; appends
  // its best grouping to `array`. Nothing when the set shows fewer than two
  // genotype classes.
  std::optional<double> score_set(int k, int rank, BestClusterInformationArray& array);

  static constexpr int kPermutedRuns = 500;
  // What scoring a set yields: nothing when it shows fewer than two
  // genotype classes; else its score, its best grouping and its console
  // text.
  struct SetScore {
    std::optional<double> score;
    std::optional<BestClusterInformation> record;
    std::string console;
  };
  // Scores the set with the generator at `generator`, leaving the search
  // as it is: sets can be scored at the same time.
  SetScore score_set_from(int k, int rank, Rand1State generator) const;
  // True when scoring the set draws: it shows two genotype classes or more.
  bool set_draws(int k, int rank) const;
  // Draws of the generator that scoring a set takes when it draws.
  std::uint64_t draws_per_scored_set() const;

  const CsmParameters& parameters() const { return p_; }
  const std::string& store_file() const { return io_.store_file; }
  void set_permutation(bool on) { permutation_ = on; }
  bool permutation() const { return permutation_; }
  int case_count() const { return case_count_; }
  void set_case_count(int count) { case_count_ = count; }
  double variance() const { return variance_; }
  bool quantitative() const { return quantitative_; }
  int genotype(int i, int j) const { return genotype_[i][j]; }
  double phenotype(int i) const { return phenotype_[i]; }
  bool missing(int i, int j) const { return missing_[static_cast<size_t>(i)].test(static_cast<unsigned>(j)); }
  const std::vector<int>& first_ten_first() const { return first_ten_first_; }
  const std::vector<int>& first_ten_last() const { return first_ten_last_; }
  const BinomialTable& binomial() const { return binomial_; }

 private:
  void allocate();
  void show_method_once() const;
  void swap_individuals(int a, int b);
  void order_cases_first();
  void centre_phenotype();
  void write_store_file(const BestClusterInformationArray& array) const;
  // Individuals missing (before imputation) at a marker of the set.
  bool excluded(int i, const std::vector<int>& markers) const;
  // Class 1..T of every individual (index 0 unused), numbered by the first
  // appearance of its genotype code; code_of_class[c] is class c's code.
  std::vector<int> classes_of_set(const std::vector<int>& markers, std::vector<int>& code_of_class) const;
  // Prints the set's console text and keeps its grouping in `array`.
  void keep_set_score(SetScore result, BestClusterInformationArray& array);
  // Scores the sets index[1..count] of size k in order, in parallel.
  int score_sets(int k, const IntVector& index, int count, BestClusterInformationArray& array);

  CsmParameters p_;
  SearchIo io_;
  IntMatrix genotype_;            // 1..N by 1..M
  DoubleVector phenotype_;        // 1..N
  std::vector<BitSet> missing_;   // 1..N, bit j for marker j
  BinomialTable binomial_;
  int case_count_ = 0;
  double variance_ = 0.0;
  bool quantitative_ = false;
  bool permutation_ = false;
  bool plan_only_ = false;  // while skipping a data set
  std::vector<int> first_ten_first_;
  std::vector<int> first_ten_last_;
};

}  // namespace snp
