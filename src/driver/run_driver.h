// The imputation run: configuration, input, allele coding and the loop over
// the reference markers of the configured range.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "parameters/run_config.h"
#include "impute/engine.h"
#include "impute/vcf_layout.h"
#include "input/input_data.h"

namespace snp {

// Reads the parameter file into cfg (or keeps the defaults with a message
// when it cannot be opened), echoes the settings and normalises the
// directories; throws on impossible counts.
void configure_run(RunConfig& cfg, const std::string& parameter_file, std::ostream& console, std::ostream& warnings);

// The data files and counts of a configuration.
InputFiles input_files(const RunConfig& cfg);

// Refuses (InputError) an output path that names the same file as an input
// or as another output of the run, before anything is read or written.
void check_output_paths(const RunConfig& cfg, const std::string& parameter_file);

// Half-open range [first, end) of 0-based reference indices to impute.
struct MarkerRange {
  int first;
  int end;
};
MarkerRange imputation_range(const RunConfig& cfg);

// Sample order and contig of the output VCF: those the converter recorded
// beside the study files, else cases then controls on the chromosome number.
VcfLayout output_layout(const RunConfig& cfg, const StudyGenotypes& study, std::ostream& warnings);

// The hmm engine of a run, with the genetic positions of the reference
// markers (from --genetic-map, else 1 cM per Mb); throws on a bad map.
std::unique_ptr<ImputationEngine> make_hmm_engine(const RunConfig& cfg, const ReferencePanel& panel,
                                                  const EngineInput& input);

// Imputes the range with the configured engine and feeds the result file
// and the optional probability file and VCF; throws when a file cannot be
// created or written. Warnings of the writers go to `warnings`.
void run_imputation_loop(const RunConfig& cfg, const InputData& data, std::ostream& console, std::ostream& warnings);

// The whole run; returns the process exit status.
int run_imputation_program(RunConfig& cfg, const std::string& parameter_file, std::ostream& console,
                           std::ostream& warnings);

}  // namespace snp
