// snp-screen: genome-wide single-marker screen of a case/control data file.
#include "base/program_main.h"
#include "screen/command_line.h"

int main(int argc, char** argv) {
  return snp::run_program(snp::screen::kScreenProgram, argc, argv, [](const snp::ParsedOptions& parsed) {
    const snp::screen::ScreenOptions options = snp::screen::screen_options(parsed);
    snp::screen::ScreenContext ctx;
    ctx.settings = options.settings;
    ctx.naming.Datapath = options.names_dir;
    return snp::screen::single_marker_test_five_model(ctx);
  });
}
