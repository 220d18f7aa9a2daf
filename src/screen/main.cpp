// snp-screen: genome-wide single-marker screen of a case/control data file.
#include "base/program_main.h"
#include "screen/command_line.h"

int main(int argc, char** argv) {
  return snp::run_program(snp::screen::kScreenProgram, argc, argv, [](const snp::ParsedOptions& parsed) {
    return snp::screen::run_screen(snp::screen::screen_options(parsed));
  });
}
