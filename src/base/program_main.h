// The one error wrapper under every program's main.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/command_line.h"

namespace snp {

// Runs `body` and returns its exit status. A typed error becomes its message
// on the stream it names and its exit status; memory exhaustion the
// allocators' message; any other exception an internal error (status 1).
int run_program(const std::function<int()>& body);

// Parses argv against `spec`, answers --help and --version, and otherwise runs
// `body` on the parsed options under run_program.
int run_program(const ProgramSpec& spec, int argc, char** argv,
                const std::function<int(const ParsedOptions&)>& body);

std::vector<std::string> arguments(int argc, char** argv);

}  // namespace snp
