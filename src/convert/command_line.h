// The snp-convert command line: subcommands, their options and their runs.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace snp::convert {

struct HelpRequest {
  std::string text;
};

struct PanelCommand {
  std::string vcf;
  std::string out;
  std::optional<std::string> chromosome;
  bool drop_monomorphic = false;  // leave out markers with one allele in the panel
  bool binary = false;  // also the binary haplotype file
};

struct StudyCommand {
  std::string vcf;
  std::string cases;
  std::string out;
  std::optional<std::string> panel_dir;  // defaults to out
  std::optional<std::string> chromosome;
  double threshold = 0.33;
  bool exclude_ambiguous = false;  // leave A/T and C/G markers out
  std::string pheno = "";  // --pheno FILE in place of --cases (then `cases` names it too)
  std::string pheno_name = "";  // --pheno-name: its column
};

// The case IDs that a phenotype file gives the samples of a VCF.
struct CasesCommand {
  std::string vcf;
  std::string pheno;
  std::string pheno_name;
  std::string out;
};

using Command = std::variant<HelpRequest, PanelCommand, StudyCommand, CasesCommand>;

// Parses the arguments after the program name. Options take their value as
// the next argument or after "=". Throws FatalError (status 1) on an unknown
// subcommand or option, a missing value or a missing required option.
Command parse_command_line(const std::vector<std::string>& args);

// The phases of each subcommand: read, convert, write. Results go to `out`,
// skipped records and warnings to `err`.
void run_panel(const PanelCommand& command, std::ostream& out, std::ostream& err);
void run_study(const StudyCommand& command, std::ostream& out, std::ostream& err);
void run_cases(const CasesCommand& command, std::ostream& out, std::ostream& err);

}  // namespace snp::convert
