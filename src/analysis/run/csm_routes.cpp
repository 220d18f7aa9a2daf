#include "analysis/run/csm_routes.h"

#include <filesystem>
#include <optional>

#include "analysis/run/data_parameters.h"
#include "analysis/run/driver.h"
#include "analysis/run/input_files.h"
#include "analysis/inputs/marker_choice.h"
#include "analysis/inputs/marker_selection.h"
#include "analysis/report/model_tables.h"
#include "base/parallel.h"
#include "analysis/permutation/permutation_parts.h"
#include "analysis/run/permutation_jobs.h"
#include "analysis/inputs/seeded_permutations.h"
#include "analysis/inputs/study_input.h"
#include "analysis/state/work_files.h"
#include "analysis/state/work_lock.h"
#include "analysis/run/permuted_selection.h"
#include "base/errors.h"

namespace snp {
namespace {

const char* const kTextOptions[] = {"--genotypes", "--phenotypes", "--columns", "--data-dir"};
const char* const kFilesetOptions[] = {"--snps", "--top", "--pheno", "--cases", "--pheno-name", "--quantitative"};

bool fileset_route(const ParsedOptions& options) { return options.has("--bfile") || options.has("--vcf"); }

void check_options(const ParsedOptions& options) {
  const auto refuse = [&](const std::string& what) { throw_usage_error(options.program(), what); };
  if (options.has("--first-permuted")) refuse("--first-permuted is not taken with --permutations, --seed, --bfile or --vcf");
  if (!fileset_route(options)) {
    if (!options.has("--permutations")) refuse("--seed needs --permutations on the text files");
    for (const char* name : kFilesetOptions)
      if (options.has(name)) refuse(std::string(name) + " needs --bfile or --vcf");
    return;
  }
  if (options.has("--bfile") && options.has("--vcf")) refuse("--bfile and --vcf exclude each other");
  for (const char* name : kTextOptions)
    if (options.has(name)) refuse(std::string(name) + " is not taken with --bfile or --vcf");
  if (options.has("--snps") == options.has("--top")) refuse("--bfile and --vcf need either --snps LIST or --top FILE N");
  if (const auto top = options.value("--top")) parse_top_value(options.program(), *top);
  if (options.has("--pheno") && options.has("--cases")) refuse("--pheno and --cases exclude each other");
  if (options.has("--pheno-name") && !options.has("--pheno")) refuse("--pheno-name needs --pheno FILE");
  if (options.has("--quantitative") && options.has("--cases")) refuse("--quantitative and --cases exclude each other");
  if (options.has("--vcf") && !options.has("--pheno") && !options.has("--cases"))
    refuse("--vcf needs --pheno FILE or --cases FILE");
}

StudyInput read_fileset(const ParsedOptions& options, const AnalysisContext& ctx,
                        std::optional<TopSelection>& top_selection) {
  const std::optional<std::string> prefix = options.value("--bfile");
  const std::string source = prefix ? *prefix + ".bed" : options.required("--vcf");
  const auto reader = prefix ? genotypes::open_bed(*prefix) : genotypes::open_vcf(source);
  genotypes::Phenotypes phenotypes;
  std::string phenotype_source;
  const genotypes::PhenotypeOptions coding{options.value("--pheno-name").value_or(""), options.has("--quantitative"),
                                           "--quantitative"};
  if (const auto pheno = options.value("--pheno")) {
    phenotype_source = *pheno;
    phenotypes = genotypes::phenotypes_from_file(reader->samples(), *pheno, coding);
  } else if (const auto cases = options.value("--cases")) {
    phenotype_source = *cases;
    phenotypes = genotypes::phenotypes_from_case_list(reader->samples(), *cases);
  } else {
    phenotype_source = *prefix + ".fam";
    phenotypes = genotypes::phenotypes_from_fam(reader->samples(), phenotype_source, coding);
  }
  StudyInput study;
  if (const auto top = options.value("--top")) {
    top_selection = read_top_selection(*reader, phenotypes, phenotype_source, parse_top_value(options.program(), *top));
    study = observed_top_input(*top_selection, phenotypes);
  } else {
    std::vector<MarkerChoice> chosen;
    for (std::string& name : listed_markers(options.required("--snps"))) chosen.push_back({std::move(name), ""});
    const genotypes::GenotypeTable table = read_chosen_markers(*reader, chosen, source);
    std::vector<std::string> selected;
    for (const genotypes::Marker& marker : table.block.markers) selected.push_back(marker.name);
    for (const std::string& name : table.not_found) selected.push_back(name);
    study = study_input(table, phenotypes, selected, source, phenotype_source);
  }
  if (reader->skipped() > 0)
    ctx.warn() << "Note: " << reader->skipped() << " record(s) of " << source << " passed over ("
               << reader->skipped_reasons() << ")\n";
  report_phenotype_notes(phenotypes, ctx.warn());
  return study;
}

// The observed data of the text files: one line each of phenotypes and
// columns.
AnalysisInput read_observed_text(const ParsedOptions& options) {
  const InputFiles files{options.required("--genotypes"), options.required("--phenotypes"),
                         options.required("--columns")};
  AnalysisInput input = load_analysis_input(files, 1);
  if (input.phenotypes.size() != 1)
    throw inconsistent_file(files.phenotypes, "expected one line, the observed data, found " +
                                                  std::to_string(input.phenotypes.size()) +
                                                  " (--permutations makes the permuted data sets)");
  return input;
}

std::optional<std::filesystem::file_time_type> written_at(const std::string& path) {
  std::error_code error;
  const auto time = std::filesystem::last_write_time(path, error);
  if (error) return std::nullopt;
  return time;
}

}  // namespace

std::vector<std::string> csm_arguments(int argc, char** argv) {
  return joined_top_arguments({argv + 1, argv + argc});
}

bool prepares_data_sets(const ParsedOptions& options) {
  return fileset_route(options) || options.has("--permutations") || options.has("--seed");
}

std::optional<std::vector<int>> run_prepared_analysis(const ParsedOptions& options, AnalysisContext& ctx) {
  check_options(options);
  check_permutation_job_options(options);
  ctx.threads = options.count("--threads", 1, hardware_threads());
  std::optional<int> permutations;
  if (options.has("--permutations")) permutations = options.count("--permutations", 0, 0);
  const int seed = options.count("--seed", 0, kDefaultSeed);
  const WorkDirectoryLock lock(ctx.work_directory);
  StudyInput study;
  std::optional<TopSelection> top_selection;
  if (fileset_route(options)) {
    study = read_fileset(options, ctx, top_selection);
  } else {
    if (const auto dir = options.value("--data-dir")) ctx.naming.Datapath = with_final_slash(*dir);
    study.input = read_observed_text(options);
  }
  AnalysisInput& input = study.input;
  const DataCounts counts{static_cast<long>(input.genotypes.size()), static_cast<long>(input.columns.front().size()),
                          permutations};
  const auto individuals = input.genotypes.size(), columns = input.columns.front().size();
  if (permutations) check_permutation_memory(*permutations, individuals, columns, "--permutations");
  const int drawn = settle_parameter_file(ctx, counts, ctx.out());
  check_permutation_memory(drawn, individuals, columns, "Number_of_permutation of " + ctx.work_file(kParameterFile));
  if (drawn == 0)
    ctx.warn() << "Warning: no permutations (" << (permutations ? "--permutations 0" : "Number_of_permutation 0 in " + ctx.work_file(kParameterFile))
               << "): no permutation test is made; the overall p-value 1 in P_value.txt is not the result of a test\n";
  add_permuted_data_sets(input, drawn, static_cast<std::uint64_t>(seed));
  if (top_selection) select_in_permutations(*top_selection, input, ctx.threads);

  ctx.labels = study.labels;
  if (set_up_permutation_jobs(options, input, ctx)) {
    // A job writes its part file; a merge writes the files of the whole run.
    main_elas3(ctx, input);
    if (!ctx.jobs.range && !ctx.labels.empty()) write_model_tables(ctx.files(), input, ctx.labels, ctx.summary);
    return std::nullopt;
  }
  const std::string report = ctx.work_file("Final_result.txt");
  const auto before = written_at(report);
  std::vector<int> markers = main_elas3(ctx, input);
  // No new report when no analysis ran (How_many_imputation_to_deal_with_missing 0).
  const auto after = written_at(report);
  if (!ctx.labels.empty()) {
    if (after && after != before) {
      write_model_tables(ctx.files(), input, ctx.labels, ctx.summary);
    } else {
      replace_file(ctx.work_file(kMarkerTable), marker_table(ctx.labels));
    }
  }
  return markers;
}

}  // namespace snp
