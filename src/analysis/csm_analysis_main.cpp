// csm-analysis: runs the multi-marker association analysis on genotypes,
// phenotypes and marker columns read from text files.
#include <iostream>
#include <new>
#include <string>

#include "analysis/driver.h"
#include "analysis/input_files.h"
#include "base/errors.h"

namespace {

constexpr const char* kUsage =
    "Usage: csm-analysis --genotypes FILE --phenotypes FILE --columns FILE\n"
    "                    [--first-permuted K] [--data-dir DIR]\n"
    "Searches single markers and marker pairs associated with a phenotype, fits\n"
    "a sparse model over their risk groups and tests it against permuted\n"
    "phenotypes. Reads parameter.txt of the current directory (built-in values\n"
    "when absent; a default file is then written) and writes the work files,\n"
    "P_value.txt and Final_result.txt there; prints the final markers.\n"
    "\n"
    "  --genotypes FILE    one line per individual: codes -1 (missing), 0, 1, 2,\n"
    "                      one per genotype column\n"
    "  --phenotypes FILE   one line per data set (line 1: the observed data,\n"
    "                      then the permuted ones): one integer per individual\n"
    "  --columns FILE      one line per data set: Number_of_markers 0-based\n"
    "                      genotype columns; line 1 also gives the global marker\n"
    "                      numbers that name the markers\n"
    "  --first-permuted K  data set (0-based line) of the first permutation\n"
    "                      (default 1)\n"
    "  --data-dir DIR      directory of Chromosome_SNP_Length.txt and\n"
    "                      cc555k_map/ with the SNP name files\n"
    "  --help              show this text\n"
    "Exit status: 0 after a complete run, 1 on any error.\n";

int report(const snp::FatalError& error) {
  std::cout.flush();
  std::ostream& stream = error.channel() == snp::Channel::standard_output ? std::cout : std::cerr;
  stream << error.what();
  stream.flush();
  return error.exit_status();
}

int usage_error(const std::string& message) {
  std::cerr << "Error: " << message << "\n" << kUsage;
  return 1;
}

bool parse_count(const std::string& text, int& value) {
  size_t used = 0;
  try {
    value = std::stoi(text, &used);
  } catch (const std::exception&) {
    return false;
  }
  return used == text.size() && value >= 0;
}

void print_markers(const std::vector<int>& markers) {
  std::cout << "Final markers:";
  for (const int m : markers) std::cout << ' ' << m;
  std::cout << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  snp::InputFiles files;
  int first_permuted = 1;
  std::string data_dir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (i + 1 >= argc) return usage_error(arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unexpected " + arg);
    const std::string value = argv[++i];
    if (arg == "--genotypes") {
      files.genotypes = value;
    } else if (arg == "--phenotypes") {
      files.phenotypes = value;
    } else if (arg == "--columns") {
      files.columns = value;
    } else if (arg == "--data-dir") {
      data_dir = value;
    } else if (arg == "--first-permuted") {
      if (!parse_count(value, first_permuted)) return usage_error("--first-permuted needs a count, found " + value);
    } else {
      return usage_error("unknown option " + arg);
    }
  }
  if (files.genotypes.empty() || files.phenotypes.empty() || files.columns.empty())
    return usage_error("--genotypes, --phenotypes and --columns are required");
  try {
    snp::AnalysisContext ctx;
    if (!data_dir.empty()) ctx.naming.Datapath = data_dir.back() == '/' ? data_dir : data_dir + "/";
    const snp::AnalysisInput input = snp::load_analysis_input(files, first_permuted);
    const snp::PeekedParameters peeked = snp::peek_csm_parameters(ctx);
    snp::check_input_shape(input, files, peeked.parameters, peeked.source);
    print_markers(snp::main_elas3(ctx, input));
    return 0;
  } catch (const snp::FatalError& error) {
    return report(error);
  } catch (const std::bad_alloc&) {
    return report(snp::AllocationError("allocation failure: out of memory"));
  }
}
