#include "driver/options.h"

#include "base/errors.h"

namespace snp {

const char* const kImputeUsage =
    "Usage: snp-impute [OPTIONS] [PARAMFILE]\n"
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

namespace {

[[noreturn]] void usage_error(const std::string& what) {
  throw FatalError("Error: " + what + "\n" + kImputeUsage, Channel::standard_error);
}

// Value of an option given as "--name=value" or "--name value".
bool option_value(const std::vector<std::string>& args, size_t& i, const std::string& name, std::string& value) {
  const std::string& arg = args[i];
  if (arg.rfind(name + "=", 0) == 0) {
    value = arg.substr(name.size() + 1);
  } else if (arg == name) {
    if (i + 1 >= args.size()) usage_error("option " + name + " needs a value");
    value = args[++i];
  } else {
    return false;
  }
  if (value.empty()) usage_error("option " + name + " needs a value");
  return true;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args, RunConfig& cfg) {
  CommandLine line;
  bool have_file = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string engine;
    if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (option_value(args, i, "--engine", engine)) {
      if (engine != "fast" && engine != "reference") usage_error("--engine takes fast or reference, not " + engine);
      cfg.engine = engine == "fast" ? RunConfig::Engine::fast : RunConfig::Engine::reference;
    } else if (option_value(args, i, "--probabilities", cfg.probabilities_file) ||
               option_value(args, i, "--vcf-out", cfg.vcf_output_file)) {
      continue;
    } else if (arg == "--random-data") {
      cfg.data_form = 1;
    } else if (arg == "--export-genotypes") {
      cfg.only_create_data_for_nature_papaer = 1;
    } else if (arg.size() > 1 && arg[0] == '-') {
      usage_error("unknown option " + arg);
    } else if (have_file) {
      line.ignored_arguments.push_back(arg);
    } else {
      line.parameter_file = arg;
      have_file = true;
    }
  }
  const bool extra_outputs = !cfg.probabilities_file.empty() || !cfg.vcf_output_file.empty();
  if (extra_outputs && cfg.engine != RunConfig::Engine::fast)
    usage_error("--probabilities and --vcf-out need the fast engine");
  return line;
}

}  // namespace snp
