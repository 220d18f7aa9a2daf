// csm-analysis: runs the multi-marker association analysis on genotypes,
// phenotypes and marker columns read from text files, or on a PLINK
// fileset or VCF/BCF with permutations it draws itself.
#include <iostream>

#include "analysis/run/csm_routes.h"
#include "analysis/run/driver.h"
#include "analysis/run/input_files.h"
#include "base/parallel.h"
#include "analysis/permutation/permutation_parts.h"
#include "analysis/run/permutation_jobs.h"
#include "analysis/state/work_lock.h"
#include "base/program_main.h"

namespace {

const snp::ProgramSpec kProgram{
    "csm-analysis",
    "csm-analysis --genotypes FILE --phenotypes FILE --columns FILE\n"
    "                    [--first-permuted K] [--data-dir DIR] [--threads N]\n"
    "                    [--data-sets A:B | --merge PART[,PART...]]",
    "Searches single markers and marker pairs associated with a phenotype, fits\n"
    "a sparse model over their risk groups and tests it against permuted\n"
    "phenotypes. Reads parameter.txt of the current directory (built-in values\n"
    "when absent; a default file is then written) and writes the work files,\n"
    "P_value.txt and Final_result.txt there; prints the final markers.\n"
    "From a PLINK fileset or a VCF:\n"
    "  csm-analysis (--bfile PREFIX | --vcf FILE) (--snps LIST | --top FILE N)\n"
    "               [--pheno FILE | --cases FILE] [--permutations N] [--seed S]\n"
    "With --bfile, --vcf or --permutations the program draws the permuted\n"
    "phenotypes itself, parameter.txt must agree with the data (written for\n"
    "the data when absent), and on a fileset csm_markers.tsv and\n"
    "csm_model.tsv are written too.\n",
    {
        {"--bfile", "PREFIX",
         "PLINK 1 binary fileset PREFIX.bed/.bim/.fam; codes count\n"
         "A1; the status from the .fam (2 case, 1 control)\n"
         "unless --pheno or --cases gives it"},
        {"--vcf", "FILE", "VCF, bgzipped VCF or BCF (GT); codes count ALT"},
        {"--pheno", "FILE",
         "phenotype per sample: a header, then FID IID (or IID)\n"
         "and the value; 1/2 or 0/1 case/control, else\n"
         "quantitative (whole numbers); NA and -9 missing"},
        {"--cases", "FILE", "IDs of the cases, one a line; all other samples\nare controls"},
        {"--snps", "LIST", "markers to analyse by name: name,name,... or a file\nof names"},
        {"--top", "FILE N",
         "analyse the N markers of the screen table FILE\n"
         "(snp-screen --out) with the smallest P_MIN"},
        {"--permutations", "N",
         "draw the N permuted phenotype rows (then the phenotype\n"
         "and column files hold the observed data only)"},
        {"--seed", "S", "seed of the permutations (default 1)"},
        {"--quiet", "", "no progress of the permutations on standard error"},
        {"--genotypes", "FILE",
         "one line per individual: codes -1 (missing), 0, 1, 2,\n"
         "one per genotype column"},
        {"--phenotypes", "FILE",
         "one line per data set (line 1: the observed data,\n"
         "then the permuted ones): one integer per individual"},
        {"--columns", "FILE",
         "one line per data set: Number_of_markers 0-based\n"
         "genotype columns; line 1 also gives the global marker\n"
         "numbers that name the markers"},
        {"--first-permuted", "K", "data set (0-based line) of the first permutation\n(default 1)"},
        {"--data-dir", "DIR",
         "directory of Chromosome_SNP_Length.txt and\n"
         "cc555k_map/ with the SNP name files"},
        {"--threads", "N",
         "threads of the analysis (default: the machine's\n"
         "processors); the output is the same for any N"},
        {"--data-sets", "A:B",
         "a job: analyse permutations A to B only (numbered\n"
         "from 1, as T1, T2, ... of P_value.txt) and write them to\n"
         "csm_part_A_B.txt instead of the reports"},
        {"--merge", "PARTS",
         "comma-separated part files of jobs that together hold\n"
         "every permutation: write the files and output of the\n"
         "whole run without analysing the permutations again"},
    },
    "Exit status: 0 after a complete run, 1 on any error.\n",
};

void print_markers(const std::vector<int>& markers) {
  std::cout << "Final markers:";
  for (const int m : markers) std::cout << ' ' << m;
  std::cout << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  // "--top FILE N" becomes one option before the options are read.
  std::vector<std::string> args = snp::csm_arguments(argc, argv);
  args.insert(args.begin(), argv[0]);
  std::vector<char*> joined;
  for (std::string& arg : args) joined.push_back(arg.data());
  return snp::run_program(kProgram, static_cast<int>(joined.size()), joined.data(), [](const snp::ParsedOptions& options) {
    if (snp::prepares_data_sets(options)) {
      snp::AnalysisContext ctx;
      const snp::ProgressConsole progress(ctx, options.has("--quiet"));
      if (const auto markers = snp::run_prepared_analysis(options, ctx)) print_markers(*markers);
      return 0;
    }
    const snp::InputFiles files{options.required("--genotypes"), options.required("--phenotypes"),
                                options.required("--columns")};
    const int first_permuted = options.count("--first-permuted", 0, 1);
    snp::AnalysisContext ctx;
    ctx.threads = options.count("--threads", 1, snp::hardware_threads());
    const snp::WorkDirectoryLock lock(ctx.work_directory);
    if (const auto dir = options.value("--data-dir")) ctx.naming.Datapath = snp::with_final_slash(*dir);
    const snp::ProgressConsole progress(ctx, options.has("--quiet"));
    const snp::AnalysisInput input = snp::load_analysis_input(files, first_permuted);
    const snp::PeekedParameters peeked = snp::peek_csm_parameters(ctx);
    snp::check_input_shape(input, files, peeked.parameters, peeked.source);
    if (snp::set_up_permutation_jobs(options, input, ctx)) {
      snp::main_elas3(ctx, input);
      return 0;
    }
    print_markers(snp::main_elas3(ctx, input));
    return 0;
  });
}
