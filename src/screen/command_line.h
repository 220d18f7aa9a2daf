// The snp-screen command line.
#pragma once

#include <optional>
#include <string>

#include "association/regression_screen.h"
#include "base/command_line.h"
#include "single_marker/five_model_screen.h"

namespace snp::screen {

// Where the genotypes come from.
enum class ScreenRoute { data_file, bed, vcf, imputed };

struct ScreenOptions {
  ScreenSettings settings;
  std::string names_dir = MarkerNaming{}.Datapath;  // directory of "Chromosome_SNP_Length.txt"
  ScreenRoute route = ScreenRoute::data_file;
  std::string input;       // --bfile prefix, --vcf or --imputed file
  std::string case_list;   // --cases IDS (--bfile, --vcf)
  std::string pheno_file;  // --pheno FILE (--bfile, --vcf)
  std::string pheno_name;  // --pheno-name NAME: its column
  std::string chromosome = "0";  // --chromosome (--imputed)
  std::string table_prefix;      // --out
  // --logistic or --linear: the regression tests instead of the screen.
  std::optional<association::RegressionRequest> regression;
};

extern const ProgramSpec kScreenProgram;

// The screen's settings from the parsed options; directories get a final
// '/'. Throws FatalError (status 1) on a value out of range or options that
// do not go together.
ScreenOptions screen_options(const ParsedOptions& parsed);

// Runs the screen the options ask for; returns the exit status.
int run_screen(const ScreenOptions& options);

}  // namespace snp::screen
