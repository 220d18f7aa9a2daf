// snp-screen: genome-wide single-marker screen of a case/control data file.
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "base/errors.h"
#include "screen/command_line.h"

namespace {

int report(const snp::FatalError& error) {
  std::cout.flush();
  (error.channel() == snp::Channel::standard_output ? std::cout : std::cerr) << error.what() << std::flush;
  return error.exit_status();
}

int run(const snp::screen::ScreenOptions& options) {
  snp::screen::ScreenContext ctx;
  ctx.settings = options.settings;
  ctx.naming.Datapath = options.names_dir;
  return snp::screen::single_marker_test_five_model(ctx);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const auto command = snp::screen::parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* help = std::get_if<snp::screen::HelpRequest>(&command)) {
      std::cout << help->text;
      return 0;
    }
    return run(std::get<snp::screen::ScreenOptions>(command));
  } catch (const snp::FatalError& error) {
    return report(error);
  } catch (const std::bad_alloc&) {
    return report(snp::AllocationError("allocation failure: out of memory"));
  }
}
