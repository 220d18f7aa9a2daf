// The CSM search: reads one data set, imputes its missing genotypes, orders
// and centres it, screens single markers and pairs of kept markers, scores
// the selected sets against phenotype permutations and writes the store
// file that the model fit reads.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/best_cluster.h"
#include "analysis/bit_set.h"
#include "analysis/context.h"
#include "analysis/marker_set.h"
#include "analysis/parameter_file.h"
#include "numeric/arrays.h"

namespace snp {

// Run parameters of one analysis: built-in values, then "parameter.txt",
// then the adjustments of adjust().
struct CsmParameters {
  std::string input_file;       // "Inputfile"
  int head = 1;                 // "Head"
  int recorder_num = 0;         // "Recorder_num"
  int sample_size = 400;        // "Sample_size"
  int number_of_markers = 20;   // "Number_of_markers"
  std::string missing_symbol;   // "Symbol_of_missing_Gentype" (the data always use -1)
  int max_retain = 1;           // "Max_retain": sets kept per set size
  double fdr_cutoff = 0.75;     // "FDR_cutoff_for_candidate_locus_combinations"
  int number_of_permutation = 0;
  int imputation_repeats = 0;   // "How_many_imputation_to_deal_with_missing"
  int best_m = 0;               // markers kept after the one-marker stage
  int simulated_repetitions = 1;
  // Fixed by adjust().
  int max_set_size = 1;         // 2 when best_m > 0
  double significance_level = 0.05;
  int method_index = 0;
  int step_count = 5;           // handed to the model fit

  // Stores one record of "parameter.txt"; `warnings` hears of rejected values.
  void apply(ParameterKey key, const ParameterRecord& record, std::ostream& warnings);
  // Caps best_m at the marker count and fixes the derived settings.
  void adjust();
  // Name of the search method in force.
  const char* method_name() const;
};

// Reads "parameter.txt" of the work directory into `parameters` (writing
// the default file when there is none) and adjusts them.
void read_csm_parameters(const AnalysisContext& ctx, CsmParameters& parameters);

class CSM {
 public:
  // Built-in values, "parameter.txt" and the adjustments.
  explicit CSM(AnalysisContext& ctx);
  // Given parameters, adjusted here.
  CSM(AnalysisContext& ctx, CsmParameters parameters);

  // Re-reads "parameter.txt" and sizes the data arrays afresh.
  void ReadPara();

  // Searches data set r and writes the store file. Returns 0, or -1 when
  // there was no data or bad data (no store file then).
  int run(int r, const AnalysisInput& input);
  // Reads data set r and imputes missing genotypes from the marker's
  // genotype frequencies. Returns 0, or -1 on a genotype code other than
  // -1, 0, 1, 2.
  int ReadSampleData(int r, const AnalysisInput& input);
  // ReadSampleData, then cases to the front with balanced halves and the
  // phenotype centred. Returns ReadSampleData's result.
  int prepare_data_set(int r, const AnalysisInput& input);
  // Screening p-value of the set of rank `rank` among the k-subsets.
  double Test(int k, int rank) const;
  // Both screening stages; appends the scored sets to `array`.
  int bestsetper1(BestClusterInformationArray& array);
  // Score in [0, 1] of the set against 500 phenotype permutations; appends
  // its best grouping to `array`. Nothing when the set shows fewer than two
  // genotype classes.
  std::optional<double> objectivefunction_quantitive(int k, int rank, BestClusterInformationArray& array);
  // Group labels 1..G of the (up to) three classes of a single marker, from
  // their case and control counts (index 1..3).
  void OneMarkerCluster(const std::vector<int>& cases, const std::vector<int>& controls, std::vector<int>& label,
                        int T, int G) const;

  const CsmParameters& parameters() const { return p_; }
  std::string store_file() const;
  void set_prefix(const std::string& prefix) { prefix_ = prefix; }
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

  AnalysisContext& ctx_;
  CsmParameters p_;
  std::string prefix_;
  IntMatrix genotype_;            // 1..N by 1..M
  DoubleVector phenotype_;        // 1..N
  std::vector<BitSet> missing_;   // 1..N, bit j for marker j
  BinomialTable binomial_;
  int case_count_ = 0;
  double variance_ = 0.0;
  bool quantitative_ = false;
  bool permutation_ = false;
  std::vector<int> first_ten_first_;
  std::vector<int> first_ten_last_;
};

}  // namespace snp
