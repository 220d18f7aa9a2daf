// snp-impute's parameter file: in memory and through the configuration step.
#include <sstream>

#include "parameters/parameter_file.h"
#include "driver/run_driver.h"
#include "harness.h"

SNP_FUZZ(input) {
  snp::RunConfig parsed;
  std::ostringstream warnings;
  snp::parse_parameter_text(input.text(), "parameter.txt", parsed, warnings);
  snp::RunConfig cfg;
  snp::configure_run(cfg, input.file("parameter.txt"), snp::fuzz::null_stream(), warnings);
  snp::imputation_range(cfg);
}
