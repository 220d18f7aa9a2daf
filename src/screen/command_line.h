// The snp-screen command line.
#pragma once

#include <string>

#include "base/command_line.h"
#include "screen/five_model_screen.h"

namespace snp::screen {

struct ScreenOptions {
  ScreenSettings settings;
  std::string names_dir = MarkerNaming{}.Datapath;  // directory of "Chromosome_SNP_Length.txt"
};

extern const ProgramSpec kScreenProgram;

// The screen's settings from the parsed options; directories get a final
// '/'. Throws FatalError (status 1) on a value out of range.
ScreenOptions screen_options(const ParsedOptions& parsed);

}  // namespace snp::screen
