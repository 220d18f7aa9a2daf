// snp-impute: imputes untyped genotypes of study individuals from a phased
// reference panel, one chromosome per run.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <new>
#include <string>

#include "driver/run_driver.h"
#include "model/errors.h"

namespace {

constexpr const char* kUsage =
    "Usage: snp-impute [PARAMFILE]\n"
    "Imputes the genotypes of study individuals at every reference marker of a\n"
    "range from a phased reference panel, one chromosome per run.\n"
    "\n"
    "PARAMFILE  parameter file of 18 label/value pairs (default parameter.txt):\n"
    "           current_chr population_marker population_sample typed_marker\n"
    "           ncase ncontrol calling_genotype_threshood reference_directory\n"
    "           study_directory haplotype_file reference_map case_genotypes\n"
    "           case_map control_genotypes study_map result_file first_marker\n"
    "           last_marker (labels are free; values are read in this order)\n"
    "Options:\n"
    "  --engine=fast|reference\n"
    "                       imputation engine: fast (default) or the\n"
    "                       step-by-step reference; both give the same output\n"
    "  --probabilities FILE write the estimated probabilities of codes 0, 1, 2\n"
    "                       of every individual at every imputed marker to FILE\n"
    "                       (\"NA NA NA\" where none could be estimated)\n"
    "  --vcf-out FILE.vcf.gz\n"
    "                       also write the imputed markers as a bgzipped VCF with\n"
    "                       a tabix index: GT, DS, GP; INFO AF, R2 and TYPED\n"
    "  --random-data        replace the data files by random data of the\n"
    "                       configured sizes (for trying the phases out)\n"
    "  --export-genotypes   write the coded study genotypes of the first 2999\n"
    "                       study markers to als_trans_genotype_2999.txt and\n"
    "                       stop without imputing\n"
    "  --help               show this text\n"
    "Exit status: 0 after a complete run, 1 on any error.\n";

int report(const snp::FatalError& error) {
  std::cout.flush();
  std::ostream& stream = error.channel() == snp::Channel::standard_output ? std::cout : std::cerr;
  stream << error.what();
  stream.flush();
  const auto* input = dynamic_cast<const snp::InputError*>(&error);
  if (input && input->wait_for_keystroke() && ::isatty(STDIN_FILENO)) std::getchar();
  return error.exit_status();
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::string parameter_file = "parameter.txt";
  bool have_file = false;
  snp::RunContext ctx;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--engine=reference" || arg == "--engine=fast") {
      ctx.config.engine = arg == "--engine=fast" ? snp::RunConfig::Engine::fast : snp::RunConfig::Engine::reference;
      continue;
    }
    if (arg.rfind("--probabilities=", 0) == 0 || (arg == "--probabilities" && i + 1 < argc)) {
      ctx.config.probabilities_file = arg == "--probabilities" ? argv[++i] : arg.substr(16);
      continue;
    }
    if (arg.rfind("--vcf-out=", 0) == 0 || (arg == "--vcf-out" && i + 1 < argc)) {
      ctx.config.vcf_output_file = arg == "--vcf-out" ? argv[++i] : arg.substr(10);
      continue;
    }
    if (arg == "--random-data") {
      ctx.config.data_form = 1;
      continue;
    }
    if (arg == "--export-genotypes") {
      ctx.config.only_create_data_for_nature_papaer = 1;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      std::cerr << "Error: unknown option " << arg << "\n" << kUsage;
      return 1;
    }
    if (have_file) {
      std::cerr << "Warning: ignoring extra argument " << arg << "\n";
      continue;
    }
    parameter_file = arg;
    have_file = true;
  }
  const bool extra_outputs = !ctx.config.probabilities_file.empty() || !ctx.config.vcf_output_file.empty();
  if (extra_outputs && ctx.config.engine != snp::RunConfig::Engine::fast) {
    std::cerr << "Error: --probabilities and --vcf-out need the fast engine\n";
    return 1;
  }
  try {
    return snp::run_imputation_program(ctx, parameter_file, std::cerr);
  } catch (const snp::FatalError& error) {
    return report(error);
  } catch (const std::bad_alloc&) {
    return report(snp::AllocationError("allocation failure: out of memory"));
  }
}
