// snp-impute: imputes untyped genotypes of study individuals from a phased
// reference panel, one chromosome per run.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "driver/options.h"
#include "driver/run_driver.h"
#include "base/errors.h"

namespace {

int report(const snp::FatalError& error) {
  std::cout.flush();
  std::ostream& stream = error.channel() == snp::Channel::standard_output ? std::cout : std::cerr;
  stream << error.what();
  stream.flush();
  const auto* input = dynamic_cast<const snp::InputError*>(&error);
  if (input && input->wait_for_keystroke() && ::isatty(STDIN_FILENO)) std::getchar();
  return error.exit_status();
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  snp::RunConfig config;
  try {
    const snp::CommandLine line = snp::parse_command_line(std::vector<std::string>(argv + 1, argv + argc), config);
    if (line.help) {
      std::cout << snp::kImputeUsage;
      return 0;
    }
    for (const std::string& arg : line.ignored_arguments) std::cerr << "Warning: ignoring extra argument " << arg << "\n";
    return snp::run_imputation_program(config, line.parameter_file, std::cout, std::cerr);
  } catch (const snp::FatalError& error) {
    return report(error);
  } catch (const std::bad_alloc&) {
    return report(snp::AllocationError("allocation failure: out of memory"));
  }
}
