// snp-convert: turns VCF/BCF reference panels and study genotypes into the
// text files of snp-impute.
#include <htslib/hts.h>

#include <iostream>
#include <new>
#include <string>
#include <variant>
#include <vector>

#include "convert/command_line.h"
#include "base/errors.h"

namespace {

int report(const snp::FatalError& error) {
  std::cout.flush();
  (error.channel() == snp::Channel::standard_output ? std::cout : std::cerr) << error.what() << std::flush;
  return error.exit_status();
}

struct Runner {
  int operator()(const snp::convert::HelpRequest& help) const {
    std::cout << help.text;
    return 0;
  }
  int operator()(const snp::convert::PanelCommand& command) const {
    snp::convert::run_panel(command, std::cout, std::cerr);
    return 0;
  }
  int operator()(const snp::convert::StudyCommand& command) const {
    snp::convert::run_study(command, std::cout, std::cerr);
    return 0;
  }
};

}  // namespace

int main(int argc, char** argv) {
  hts_set_log_level(HTS_LOG_ERROR);  // htslib's warnings would repeat ours
  try {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return std::visit(Runner{}, snp::convert::parse_command_line(args));
  } catch (const snp::FatalError& error) {
    return report(error);
  } catch (const std::bad_alloc&) {
    return report(snp::AllocationError("allocation failure: out of memory"));
  }
}
