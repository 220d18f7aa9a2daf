// Command line of snp-impute.
#pragma once

#include <string>
#include <vector>

#include "driver/run_config.h"

namespace snp {

extern const char* const kImputeUsage;

struct CommandLine {
  bool help = false;
  std::string parameter_file = "parameter.txt";
  std::vector<std::string> ignored_arguments;  // positional arguments after the first
};

// Reads the options into cfg; throws FatalError (message and usage) on an
// unknown option, a missing value or an impossible combination.
CommandLine parse_command_line(const std::vector<std::string>& args, RunConfig& cfg);

}  // namespace snp
