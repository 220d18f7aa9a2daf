// The snp-screen command line.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "screen/five_model_screen.h"

namespace snp::screen {

struct HelpRequest {
  std::string text;
};

struct ScreenOptions {
  ScreenSettings settings;
  std::string names_dir = MarkerNaming{}.Datapath;  // directory of "Chromosome_SNP_Length.txt"
};

// Parses the arguments after the program name. Options take their value as
// the next argument or after "="; directories get a final '/' when they lack
// one. Throws FatalError (status 1) on an unknown option or argument, a
// missing value or a value out of range.
std::variant<HelpRequest, ScreenOptions> parse_command_line(const std::vector<std::string>& args);

}  // namespace snp::screen
