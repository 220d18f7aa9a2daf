// snp-convert: turns VCF/BCF reference panels and study genotypes into the
// text files of snp-impute.
#include <htslib/hts.h>

#include <iostream>
#include <variant>

#include "base/program_main.h"
#include "convert/command_line.h"

namespace {

struct Runner {
  int operator()(const snp::convert::HelpRequest& help) const {
    std::cout << help.text;
    return 0;
  }
  int operator()(const snp::convert::PanelCommand& command) const {
    snp::convert::run_panel(command, std::cout, std::cerr);
    return 0;
  }
  int operator()(const snp::convert::CasesCommand& command) const {
    snp::convert::run_cases(command, std::cout, std::cerr);
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
  return snp::run_program([&] { return std::visit(Runner{}, snp::convert::parse_command_line(snp::arguments(argc, argv))); });
}
