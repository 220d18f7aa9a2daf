// Configuration of one imputation run: compiled-in defaults, overwritten by
// the parameter file.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace snp {

// Reference markers per chromosome (index = chromosome number).
inline constexpr std::array<int, 24> hapmap_population_marker = {
    0,      193554, 220833, 174356, 163157, 168144, 182381, 143232, 147483, 122112, 138402, 130069,
    124860, 104120, 83936,  72300,  71550,  58455,  76812,  37045,  63408,  33863,  33815,  0};

// Chip markers per chromosome (index = chromosome number).
inline constexpr std::array<int, 27> ALS_typed_marker = {
    0,     41573, 44865, 37376, 33238, 34214, 36381, 29772, 31570, 26534, 28818, 26957, 26850, 20611,
    18213, 16429, 16714, 14255, 16741, 9474,  14107, 8196,  8439,  13821, 11,    16,    177};

struct RunConfig {
  int current_chr = 7;
  int population_marker = hapmap_population_marker[7];
  int population_sample = 120;
  int typed_marker = ALS_typed_marker[7];
  int ncase = 276;
  int ncontrol = 271;
  int typed_sample = 276 + 271;
  double calling_genotype_threshood = 0.33;

  std::string path_hapmap_datadirectory = "./";
  std::string path_disease_datadirectory = "./";
  std::string path_hapmap_data_file = "hapmap.hap";
  std::string path_hapmap_data_mapfile = "hapmap.map";
  std::string path_disease_data_file1 = "disease.geno";
  std::string path_disease_data_mapfile1 = "disease.map";
  std::string path_disease_data_file0 = "normal.geno";
  std::string path_disease_data_mapfile0 = "normal.map";
  std::string result_data_file = "imputation_results.txt";

  // Imputation range, 1-based and inclusive; unset means the whole panel.
  std::optional<int> first_marker;
  std::optional<int> last_marker;

  // Engine of the imputation steps: the fast one, the step-by-step
  // reference it is checked against (both write the same bytes), or the
  // hidden Markov model over the reference haplotypes.
  enum class Engine { fast, reference, hmm };
  Engine engine = Engine::fast;
  // Optional file of the estimated genotype probabilities (fast and hmm engines).
  std::string probabilities_file;
  // Optional VCF of the imputed markers (fast and hmm engines).
  std::string vcf_output_file;
  // hmm engine: optional genetic map (else a constant rate per base) and threads.
  std::string genetic_map_file;
  int threads = 1;

  // Alternative data paths, both off unless selected on the command line.
  int data_form = 0;
  int only_create_data_for_nature_papaer = 0;

  int effective_first_marker() const { return first_marker.value_or(1); }
  int effective_last_marker() const { return last_marker.value_or(population_marker); }
};

}  // namespace snp
