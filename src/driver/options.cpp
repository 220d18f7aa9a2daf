#include "driver/options.h"

#include <algorithm>

#include "base/command_line.h"
#include "impute/vcf_output.h"

namespace snp {

const ProgramSpec kImputeProgram{
    "snp-impute",
    "snp-impute [OPTIONS] [PARAMFILE]\n"
    "       snp-impute --write-parameters FILE [PARAMFILE] [LABEL=VALUE ...]",
    "Imputes the genotypes of study individuals at every reference marker of a\n"
    "range from a phased reference panel, one chromosome per run.\n"
    "\n"
    "PARAMFILE  parameter file of 18 label/value pairs (default parameter.txt):\n"
    "           current_chr population_marker population_sample typed_marker\n"
    "           ncase ncontrol calling_genotype_threshood reference_directory\n"
    "           study_directory haplotype_file reference_map case_genotypes\n"
    "           case_map control_genotypes study_map result_file first_marker\n"
    "           last_marker (labels are free; values are read in this order)\n",
    {
        {"--engine", "fast|reference|hmm",
         "imputation engine: fast (default) or the\n"
         "step-by-step reference, which give the same output;\n"
         "or hmm, a haplotype-copying model: slower, more\n"
         "accurate, above all at rare markers"},
        {"--genetic-map", "FILE",
         "hmm engine: genetic map (\"chr position cM\",\n"
         "PLINK \"chr id cM position\", or columns named in a\n"
         "header); default 1 cM per Mb"},
        {"--threads", "N", "hmm engine: threads of the engine and of the VCF\n"
         "compression (default 1; same output)"},
        {"--phase-only", "FILE",
         "hmm engine: phase the study at the typed markers,\n"
         "write the haplotypes to FILE (phased VCF) and stop"},
        {"--phased", "FILE",
         "hmm engine: take the study haplotypes from FILE\n"
         "(written by --phase-only on the same data) instead\n"
         "of phasing; chunks of a chromosome then phase once"},
        {"--probabilities", "FILE",
         "write the estimated probabilities of codes 0, 1, 2\n"
         "of every individual at every imputed marker to FILE\n"
         "(\"NA NA NA\" where none could be estimated)"},
        {"--vcf-out", "FILE",
         "also write the imputed markers as a VCF: FILE.vcf.gz\n"
         "bgzipped with a tabix index, FILE.bcf with a CSI\n"
         "index, FILE.vcf plain; GT, DS, GP; INFO AF, R2, TYPED\n"
         "or IMP. Samples and contig as in the converted study\n"
         "VCF (study_layout.tsv), else cases then controls"},
        {"--random-data", "",
         "replace the data files by random data of the\n"
         "configured sizes (for trying the phases out)"},
        {"--write-parameters", "FILE",
         "write a parameter file and stop: PARAMFILE's pairs\n"
         "(or the defaults), changed by LABEL=VALUE arguments\n"
         "(labels as written, e.g. first_marker=1)"},
        {"--export-genotypes", "",
         "write the coded study genotypes of the first 2999\n"
         "study markers to als_trans_genotype_2999.txt and\n"
         "stop without imputing"},
    },
    "Exit status: 0 after a complete run, 1 on any error.\n",
    true,
};

CommandLine impute_command_line(const ParsedOptions& options, RunConfig& cfg) {
  CommandLine line;
  if (const auto engine = options.value("--engine")) {
    if (*engine != "fast" && *engine != "reference" && *engine != "hmm")
      throw_usage_error(kImputeProgram.name, "--engine takes fast, reference or hmm, not " + *engine);
    cfg.engine = *engine == "fast"        ? RunConfig::Engine::fast
                 : *engine == "reference" ? RunConfig::Engine::reference
                                          : RunConfig::Engine::hmm;
  }
  cfg.genetic_map_file = options.value("--genetic-map").value_or("");
  cfg.threads = options.count("--threads", 1, 1);
  if ((options.has("--genetic-map") || options.has("--threads")) && cfg.engine != RunConfig::Engine::hmm)
    throw_usage_error(kImputeProgram.name, "--genetic-map and --threads need the hmm engine");
  cfg.phase_only_file = options.value("--phase-only").value_or("");
  cfg.phased_file = options.value("--phased").value_or("");
  if ((options.has("--phase-only") || options.has("--phased")) && cfg.engine != RunConfig::Engine::hmm)
    throw_usage_error(kImputeProgram.name, "--phase-only and --phased need the hmm engine");
  if (options.has("--phase-only") && options.has("--phased"))
    throw_usage_error(kImputeProgram.name, "--phase-only and --phased exclude each other");
  cfg.probabilities_file = options.value("--probabilities").value_or("");
  cfg.vcf_output_file = options.value("--vcf-out").value_or("");
  if (!cfg.vcf_output_file.empty() && !vcf_format_for(cfg.vcf_output_file))
    throw_usage_error(kImputeProgram.name,
                      "--vcf-out needs a name ending in .vcf.gz, .bcf or .vcf, not " + cfg.vcf_output_file);
  if (options.has("--random-data")) cfg.data_form = 1;
  if (options.has("--export-genotypes")) cfg.only_create_data_for_nature_papaer = 1;
  std::vector<std::string> positionals = options.positionals;
  if (const auto file = options.value("--write-parameters")) {
    line.parameters_to_write = *file;
    const auto first_assignment = std::find_if(positionals.begin(), positionals.end(),
                                               [](const std::string& arg) { return arg.find('=') != std::string::npos; });
    line.assignments.assign(first_assignment, positionals.end());
    positionals.erase(first_assignment, positionals.end());
  }
  if (!positionals.empty()) {
    line.parameter_file = positionals.front();
    line.parameter_file_given = true;
  }
  if (positionals.size() > 1) line.ignored_arguments.assign(positionals.begin() + 1, positionals.end());
  const bool extra_outputs = !cfg.probabilities_file.empty() || !cfg.vcf_output_file.empty();
  if (extra_outputs && cfg.engine == RunConfig::Engine::reference)
    throw_usage_error(kImputeProgram.name, "--probabilities and --vcf-out need the fast or hmm engine");
  return line;
}

}  // namespace snp
