#include "driver/run_driver.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <ostream>

#include "coding/genotype_export.h"
#include "coding/major_allele.h"
#include "coding/random_data.h"
#include "driver/imputation_step.h"
#include "driver/parameter_file.h"
#include "impute/fast_engine.h"
#include "impute/probability_writer.h"
#include "impute/vcf_output.h"
#include "input/marker_alignment.h"

namespace snp {
namespace {

void print_progress(const RunContext& ctx, int i) {
  const int number = i + 1;
  if (number % 100 == 0 || number == ctx.config.effective_first_marker()) ctx.out() << number << std::endl;
}

[[noreturn]] void result_file_error(const std::string& name, const char* what) {
  throw FatalError("Error: " + name + ": " + what + " (" + std::strerror(errno) + ")\n", Channel::standard_error);
}

}  // namespace

void configure_run(RunContext& ctx, const std::string& parameter_file, std::ostream& warnings) {
  RunConfig& cfg = ctx.config;
  if (!read_parameter_file(parameter_file, cfg, warnings))
    ctx.out() << " find error when open parameter file,using default parameter\n";
  echo_settings(cfg, ctx.out());
  normalise_directories(cfg);
  echo_paths(cfg, ctx.out());
  validate_counts(cfg, parameter_file);
  cfg.typed_sample = cfg.ncase + cfg.ncontrol;  // after the check, which rules out an overflow
}

void allocate_marker_tables(RunContext& ctx) {
  const int p = ctx.config.population_marker;
  RunData& d = ctx.data;
  d.allele_freq = matrix(0, p, 0, 2);
  d.Hardy_Weinberg.assign(static_cast<size_t>(p), 0.0);
  d.correlation.assign(static_cast<size_t>(p), 0.0);
  d.position_SNP.resize(static_cast<size_t>(p));
  for (int j = 0; j < p; ++j) d.position_SNP[static_cast<size_t>(j)] = j;
  d.diff_SNP_name_tag.assign(static_cast<size_t>(p), -1);
}

void run_input_phases(RunContext& ctx) {
  if (ctx.config.data_form != 0)
    randomdata(ctx);
  else
    read_two_part_data(ctx);
  major_allele_transform1(ctx);
}

MarkerRange imputation_range(const RunConfig& cfg) {
  const int first_marker = cfg.effective_first_marker();
  const int first = first_marker > 1 ? first_marker - 1 : 0;
  int end = cfg.effective_last_marker();
  if (end > cfg.population_marker) end = cfg.population_marker;
  return {first, end};
}

void run_imputation_loop(RunContext& ctx) {
  std::ofstream& result = ctx.fimput_out;
  const std::string& name = ctx.config.result_data_file;
  result.open(name, std::ios::out | std::ios::trunc);
  if (!result) result_file_error(name, "cannot create the result file");
  const MarkerRange range = imputation_range(ctx.config);
  if (range.first < range.end) require_typed_markers(ctx.data);
  FastEngine fast(ctx);
  std::optional<ProbabilityWriter> probabilities;
  if (!ctx.config.probabilities_file.empty()) probabilities.emplace(ctx.config.probabilities_file);
  std::optional<VcfWriter> vcf;
  if (!ctx.config.vcf_output_file.empty()) vcf.emplace(ctx.config.vcf_output_file, ctx);
  for (int i = range.first; i < range.end; ++i) {
    print_progress(ctx, i);
    if (ctx.config.engine == RunConfig::Engine::fast) {
      fast.impute(i);
      if (probabilities) probabilities->write(ctx.data, i, fast.calls());
      if (vcf) vcf->write(ctx.data, i, fast.calls());
    } else {
      run_imputation_step(ctx, i);
    }
    if (!result) result_file_error(name, "cannot write the result file");
  }
  result.close();
  if (result.fail()) result_file_error(name, "cannot write the result file");
  if (probabilities) probabilities->close();
  if (vcf) vcf->close();
}

int run_imputation_program(RunContext& ctx, const std::string& parameter_file, std::ostream& warnings) {
  RunTimes times;
  times.start = std::time(nullptr);
  configure_run(ctx, parameter_file, warnings);
  allocate_marker_tables(ctx);
  run_input_phases(ctx);
  if (ctx.config.only_create_data_for_nature_papaer == 1) {
    write_input_for_nature_paper(ctx);
    return 0;
  }
  times.after_input = std::time(nullptr);
  run_imputation_loop(ctx);
  times.end = std::time(nullptr);
  ctx.out() << "read data time =" << (times.after_input - times.start) << "\n"
            << "total time =" << (times.end - times.start) << "\n";
  ctx.out().flush();
  return 0;
}

}  // namespace snp
