// Run parameters of one analysis, as "parameter.txt" sets them.
#pragma once

#include <string>

namespace snp {

// Built-in values, then "parameter.txt", then the adjustments of adjust().
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

  // Caps best_m at the marker count and fixes the derived settings.
  void adjust();
  // Name of the search method in force.
  const char* method_name() const;
};

}  // namespace snp
