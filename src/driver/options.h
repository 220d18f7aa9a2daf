// Command line of snp-impute.
#pragma once

#include <string>
#include <vector>

#include "base/command_line.h"
#include "parameters/run_config.h"

namespace snp {

extern const ProgramSpec kImputeProgram;

struct CommandLine {
  std::string parameter_file = "parameter.txt";
  bool parameter_file_given = false;
  // --write-parameters: the file to write and the LABEL=VALUE changes.
  std::string parameters_to_write;
  std::vector<std::string> assignments;
  std::vector<std::string> ignored_arguments;  // positional arguments after the first
};

// Reads the parsed options into cfg; throws FatalError (usage error) on an
// unknown engine or an impossible combination.
CommandLine impute_command_line(const ParsedOptions& options, RunConfig& cfg);

}  // namespace snp
