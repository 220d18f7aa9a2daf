#include "analysis/run/data_parameters.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "analysis/inputs/parameter_file.h"
#include "base/errors.h"

namespace snp {
namespace {

// "Sample_size is 200, but the data have 150 individuals".
void require_equal(const std::string& file, const char* key, long in_file, const std::string& source, long wanted,
                   const std::string& unit) {
  if (in_file != wanted)
    throw inconsistent_file(file, std::string(key) + " is " + std::to_string(in_file) + ", but " + source + " " +
                                      std::to_string(wanted) + unit +
                                      " (without the file a run writes one that fits the data)");
}

}  // namespace

std::string data_parameter_text(long individuals, long markers, int permutations) {
  std::ostringstream text;
  text << "Sample_size\t\t\t\t\t" << individuals << "\n"
       << "Number_of_markers\t\t\t" << markers << "\n"
       << "Max_retain\t\t\t\t\t10\n"
       << "FDR_cutoff_for_candidate_locus_combinations\t0.75\n"
       << "Number_of_permutation\t\t" << permutations << "\n"
       << "How_many_imputation_to_deal_with_missing\t\t\t1\n"
       << "Best_m\t\t\t\t\t\t10\n";
  return text.str();
}

int settle_parameter_file(const AnalysisContext& ctx, const DataCounts& counts, std::ostream& console) {
  const std::string path = ctx.work_file(kParameterFile);
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (std::filesystem::exists(path))
      throw InputError(InputProblem::cannot_open, "Error: cannot open " + path + "\n");
    const int permutations = counts.permutations.value_or(kDefaultPermutations);
    replace_file(path, data_parameter_text(counts.individuals, counts.markers, permutations), "create");
    console << "Wrote " << kParameterFile << " for the data: Sample_size " << counts.individuals
            << ", Number_of_markers " << counts.markers << ", Number_of_permutation " << permutations << "\n";
    return permutations;
  }
  std::ostringstream content;
  content << in.rdbuf();
  const CsmParameters parameters = quiet_search_parameters(content.str());
  require_equal(path, "Sample_size", parameters.sample_size, "the data have", counts.individuals, " individuals");
  require_equal(path, "Number_of_markers", parameters.number_of_markers, "the analysis has", counts.markers,
                " markers");
  if (counts.permutations)
    require_equal(path, "Number_of_permutation", parameters.number_of_permutation, "--permutations asks for",
                  *counts.permutations, "");
  return parameters.number_of_permutation;
}

}  // namespace snp
