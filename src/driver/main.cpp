// snp-impute: imputes untyped genotypes of study individuals from a phased
// reference panel, one chromosome per run.
#include <iostream>
#include <string>

#include "base/program_main.h"
#include "driver/options.h"
#include "parameters/parameter_file.h"
#include "driver/run_driver.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return snp::run_program(snp::kImputeProgram, argc, argv, [](const snp::ParsedOptions& options) {
    snp::RunConfig config;
    const snp::CommandLine line = snp::impute_command_line(options, config);
    if (!line.parameters_to_write.empty()) {
      snp::write_parameter_file(line.parameters_to_write,
                                line.parameter_file_given ? std::optional(line.parameter_file) : std::nullopt,
                                line.assignments, std::cerr);
      return 0;
    }
    for (const std::string& arg : line.ignored_arguments) std::cerr << "Warning: ignoring extra argument " << arg << "\n";
    return snp::run_imputation_program(config, line.parameter_file, std::cout, std::cerr);
  });
}
