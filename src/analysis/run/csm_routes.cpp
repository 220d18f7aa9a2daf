#include "analysis/run/csm_routes.h"

#include <filesystem>
#include <optional>

#include "analysis/run/data_parameters.h"
#include "analysis/run/driver.h"
#include "analysis/run/input_files.h"
#include "analysis/inputs/marker_selection.h"
#include "analysis/report/model_tables.h"
#include "base/parallel.h"
#include "analysis/permutation/permutation_parts.h"
#include "analysis/run/permutation_jobs.h"
#include "analysis/inputs/seeded_permutations.h"
#include "analysis/inputs/study_input.h"
#include "analysis/state/work_lock.h"
#include "base/errors.h"

namespace snp {
namespace {

const char* const kTextOptions[] = {"--genotypes", "--phenotypes", "--columns", "--data-dir"};
const char* const kFilesetOptions[] = {"--snps", "--top", "--pheno", "--cases"};

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
  if (options.has("--vcf") && !options.has("--pheno") && !options.has("--cases"))
    refuse("--vcf needs --pheno FILE or --cases FILE");
}

StudyInput read_fileset(const ParsedOptions& options, const AnalysisContext& ctx) {
  const std::optional<std::string> prefix = options.value("--bfile");
  const std::string source = prefix ? *prefix + ".bed" : options.required("--vcf");
  const auto reader = prefix ? genotypes::open_bed(*prefix) : genotypes::open_vcf(source);
  genotypes::Phenotypes phenotypes;
  std::string phenotype_source;
  if (const auto pheno = options.value("--pheno")) {
    phenotype_source = *pheno;
    phenotypes = genotypes::phenotypes_from_file(reader->samples(), *pheno);
  } else if (const auto cases = options.value("--cases")) {
    phenotype_source = *cases;
    phenotypes = genotypes::phenotypes_from_case_list(reader->samples(), *cases);
  } else {
    phenotype_source = *prefix + ".fam";
    phenotypes = genotypes::phenotypes_from_fam(reader->samples(), phenotype_source);
  }
  const std::vector<std::string> selected =
      options.has("--snps") ? listed_markers(options.required("--snps"))
                            : [&] {
                                const TopRequest top = parse_top_value(options.program(), options.required("--top"));
                                return top_markers(top.table, top.count);
                              }();
  const genotypes::GenotypeTable table = genotypes::read_table(*reader, selected);
  StudyInput study = study_input(table, phenotypes, selected, source, phenotype_source);
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
  ctx.threads = options.count("--threads", 1, hardware_threads());
  std::optional<int> permutations;
  if (options.has("--permutations")) permutations = options.count("--permutations", 0, 0);
  const int seed = options.count("--seed", 0, kDefaultSeed);
  const WorkDirectoryLock lock(ctx.work_directory);
  StudyInput study;
  if (fileset_route(options)) {
    study = read_fileset(options, ctx);
  } else {
    if (const auto dir = options.value("--data-dir")) ctx.naming.Datapath = with_final_slash(*dir);
    study.input = read_observed_text(options);
  }
  AnalysisInput& input = study.input;
  const DataCounts counts{static_cast<long>(input.genotypes.size()), static_cast<long>(input.columns.front().size()),
                          permutations};
  add_permuted_data_sets(input, settle_parameter_file(ctx, counts, ctx.out()), static_cast<std::uint64_t>(seed));

  ctx.labels = study.labels;
  if (set_up_permutation_jobs(options, input, ctx)) {
    // A job writes its part file; a merge writes the files of the whole run.
    main_elas3(ctx, input);
    if (!ctx.jobs.range && !ctx.labels.empty()) write_model_tables(ctx.files(), input, ctx.labels);
    return std::nullopt;
  }
  const std::string report = ctx.work_file("Final_result.txt");
  const auto before = written_at(report);
  std::vector<int> markers = main_elas3(ctx, input);
  // No new report when no analysis ran (How_many_imputation_to_deal_with_missing 0).
  const auto after = written_at(report);
  if (!ctx.labels.empty()) {
    if (after && after != before) {
      write_model_tables(ctx.files(), input, ctx.labels);
    } else {
      replace_file(ctx.work_file(kMarkerTable), marker_table(ctx.labels));
    }
  }
  return markers;
}

}  // namespace snp
