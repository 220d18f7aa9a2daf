#include "driver/run_driver.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>

#include "base/output_file.h"
#include "base/text_source.h"
#include "coding/genotype_export.h"
#include "coding/major_allele.h"
#include "coding/random_data.h"
#include "parameters/parameter_file.h"
#include "impute/engine.h"
#include "impute/hmm_engine.h"
#include "impute/phased_vcf.h"
#include "impute/probability_writer.h"
#include "impute/result_writer.h"
#include "impute/vcf_output.h"
#include "input/genetic_map.h"

namespace snp {

void configure_run(RunConfig& cfg, const std::string& parameter_file, std::ostream& console, std::ostream& warnings) {
  if (!read_parameter_file(parameter_file, cfg, warnings))
    console << " find error when open parameter file,using default parameter\n";
  echo_settings(cfg, console);
  normalise_directories(cfg);
  echo_paths(cfg, console);
  validate_counts(cfg, parameter_file);
  warn_about_settings(cfg, parameter_file, warnings);
  cfg.typed_sample = cfg.ncase + cfg.ncontrol;  // after the check, which rules out an overflow
}

InputFiles input_files(const RunConfig& cfg) {
  InputFiles f;
  f.haplotype_file = cfg.path_hapmap_datadirectory + cfg.path_hapmap_data_file;
  f.reference_map_file = cfg.path_hapmap_datadirectory + cfg.path_hapmap_data_mapfile;
  f.study_map_file = cfg.path_disease_datadirectory + cfg.path_disease_data_mapfile0;
  f.case_file = cfg.path_disease_datadirectory + cfg.path_disease_data_file1;
  f.control_file = cfg.path_disease_datadirectory + cfg.path_disease_data_file0;
  f.chromosome = cfg.current_chr;
  f.reference_markers = cfg.population_marker;
  f.haplotypes = cfg.population_sample;
  f.study_markers = cfg.typed_marker;
  f.cases = cfg.ncase;
  f.controls = cfg.ncontrol;
  return f;
}

namespace {

struct NamedFile {
  const char* role;
  std::string path;
};

// Devices and pipes (/dev/null, /dev/stdout) may serve several outputs.
bool is_ordinary(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  return !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
}

}  // namespace

void check_output_paths(const RunConfig& cfg, const std::string& parameter_file) {
  std::vector<NamedFile> inputs = {{"parameter file", parameter_file}};
  if (cfg.data_form == 0) {
    const InputFiles files = input_files(cfg);
    inputs.insert(inputs.end(), {{"reference haplotype file", files.haplotype_file},
                                 {"reference map file", files.reference_map_file},
                                 {"study map file", files.study_map_file},
                                 {"case genotype file", files.case_file},
                                 {"control genotype file", files.control_file}});
  }
  if (!cfg.phased_file.empty()) inputs.push_back({"phased VCF", cfg.phased_file});
  std::vector<NamedFile> outputs;
  if (!cfg.phase_only_file.empty()) {
    outputs.push_back({"phased VCF", cfg.phase_only_file});
  } else if (cfg.only_create_data_for_nature_papaer == 1) {
    outputs.push_back({"genotype export", kGenotypeExportFile});
  } else {
    outputs.push_back({"result file", cfg.result_data_file});
    if (!cfg.probabilities_file.empty()) outputs.push_back({"probability file", cfg.probabilities_file});
    if (!cfg.vcf_output_file.empty()) {
      outputs.push_back({"VCF", cfg.vcf_output_file});
      if (const std::string index = vcf_index_path(cfg.vcf_output_file); !index.empty())
        outputs.push_back({"VCF index", index});
    }
  }
  for (size_t k = 0; k < outputs.size(); ++k) {
    if (!is_ordinary(outputs[k].path)) continue;
    std::vector<NamedFile> others(inputs);
    others.insert(others.end(), outputs.begin(), outputs.begin() + static_cast<std::ptrdiff_t>(k));
    for (const NamedFile& other : others)
      if (same_file(outputs[k].path, other.path))
        throw InputError(InputProblem::inconsistent, std::string("Error: the ") + outputs[k].role + " " +
                                                         outputs[k].path + " is the same file as the " + other.role +
                                                         " " + other.path + "\n");
  }
}

VcfLayout output_layout(const RunConfig& cfg, const StudyGenotypes& study, std::ostream& warnings) {
  if (cfg.data_form != 0) return default_vcf_layout(cfg.current_chr, study);
  const std::string path = cfg.path_disease_datadirectory + kStudyLayoutFile;
  const auto text = read_file_text(path);
  if (!text) return default_vcf_layout(cfg.current_chr, study);
  return vcf_layout(parse_study_layout(*text, path), path, cfg.current_chr, study, warnings);
}

MarkerRange imputation_range(const RunConfig& cfg) {
  const int first_marker = cfg.effective_first_marker();
  const int first = first_marker > 1 ? first_marker - 1 : 0;
  int end = cfg.effective_last_marker();
  if (end > cfg.population_marker) end = cfg.population_marker;
  return {first, end};
}

namespace {

HmmSettings hmm_settings(const RunConfig& cfg, const ReferencePanel& panel) {
  HmmSettings settings = automatic_hmm_settings(panel.haplotype_count);
  settings.centimorgans = cfg.genetic_map_file.empty()
                              ? constant_rate_positions(panel.positions, 1.0)
                              : genetic_positions(read_genetic_map(cfg.genetic_map_file, cfg.current_chr), panel.positions);
  settings.threads = cfg.threads;
  return settings;
}

// --phase-only: the phased VCF instead of an imputation.
void write_phases(const RunConfig& cfg, const InputData& data, std::ostream& console) {
  if (data.alignment.typed_markers.empty())
    throw InputError(InputProblem::inconsistent, "Error: no study marker is in the panel; nothing to phase\n");
  const EngineInput input{data.panel, data.study, data.alignment.typed_markers, cfg.calling_genotype_threshood};
  HmmEngine engine(input, hmm_settings(cfg, data.panel));
  write_phased_vcf(cfg.phase_only_file, cfg.current_chr, data.panel, data.alignment.typed_markers, data.study,
                   engine.phased_haplotypes());
  console << "phased haplotypes written to " << cfg.phase_only_file << "\n";
}

}  // namespace

std::unique_ptr<ImputationEngine> make_hmm_engine(const RunConfig& cfg, const ReferencePanel& panel,
                                                  const EngineInput& input) {
  auto engine = std::make_unique<HmmEngine>(input, hmm_settings(cfg, panel));
  if (!cfg.phased_file.empty())
    engine->use_phased(read_phased_vcf(cfg.phased_file, panel, input.typed_markers, input.study));
  return engine;
}

void run_imputation_loop(const RunConfig& cfg, const InputData& data, std::ostream& console, std::ostream& warnings) {
  const bool reference = cfg.engine == RunConfig::Engine::reference;
  ResultWriter result(cfg.result_data_file, data.panel, /*flush_each_line=*/reference);
  const MarkerRange range = imputation_range(cfg);
  if (range.first < range.end) require_typed_markers(static_cast<int>(data.alignment.typed_markers.size()));
  const EngineInput input{data.panel, data.study, data.alignment.typed_markers, cfg.calling_genotype_threshood};
  const auto engine = cfg.engine == RunConfig::Engine::hmm
                          ? make_hmm_engine(cfg, data.panel, input)
                          : make_engine(reference ? EngineKind::reference : EngineKind::fast, input);
  std::optional<ProbabilityWriter> probabilities;
  if (!cfg.probabilities_file.empty()) probabilities.emplace(cfg.probabilities_file, data.panel);
  std::optional<VcfWriter> vcf;
  if (!cfg.vcf_output_file.empty())
    vcf.emplace(cfg.vcf_output_file, output_layout(cfg, data.study, warnings), data.panel, data.study, warnings,
                cfg.threads);
  for (int i = range.first; i < range.end; ++i) {
    // Progress: the first marker and every hundredth.
    const int number = i + 1;
    if (number % 100 == 0 || number == cfg.effective_first_marker()) console << number << std::endl;
    const std::vector<GenotypeCall>& calls = engine->impute(i, console);
    result.write(i, calls);
    if (probabilities) probabilities->write(i, calls);
    if (vcf) vcf->write(i, calls);
    result.check_written();
  }
  result.close();
  if (probabilities) probabilities->close();
  if (vcf) vcf->close();
}

int run_imputation_program(RunConfig& cfg, const std::string& parameter_file, std::ostream& console,
                           std::ostream& warnings) {
  const std::time_t start = std::time(nullptr);
  configure_run(cfg, parameter_file, console, warnings);
  check_output_paths(cfg, parameter_file);
  InputData data = cfg.data_form != 0 ? random_input({cfg.population_marker, cfg.population_sample,
                                                      cfg.typed_marker, cfg.typed_sample})
                                      : read_input(input_files(cfg), console, warnings);
  code_alleles(data.study, data.panel, data.study_map, data.alignment, console);
  if (cfg.only_create_data_for_nature_papaer == 1) {
    write_genotype_export(genotype_export_text(data));
    return 0;
  }
  if (!cfg.phase_only_file.empty()) {
    write_phases(cfg, data, console);
    return 0;
  }
  const std::time_t after_input = std::time(nullptr);
  run_imputation_loop(cfg, data, console, warnings);
  const std::time_t end = std::time(nullptr);
  console << "read data time =" << (after_input - start) << "\n"
          << "total time =" << (end - start) << "\n";
  console.flush();
  return 0;
}

}  // namespace snp
