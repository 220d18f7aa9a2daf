#include "convert/command_line.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <string_view>

#include "convert/output_files.h"
#include "convert/panel_converter.h"
#include "convert/panel_directory.h"
#include "convert/phenotype_cases.h"
#include "input/binary_panel.h"
#include "convert/strand_check.h"
#include "convert/study_converter.h"
#include "base/text_source.h"
#include "base/command_line.h"
#include "base/errors.h"
#include "base/output_file.h"
#include "parameters/parameter_file.h"

namespace snp::convert {
namespace {

constexpr const char* kMainUsage =
    "Usage: snp-convert panel --vcf PANEL.vcf.gz --out DIR [--chromosome NAME]\n"
    "       snp-convert study --vcf STUDY.vcf.gz --cases IDS.txt --out DIR [options]\n"
    "       snp-convert cases --vcf STUDY.vcf.gz --pheno FILE --out IDS.txt\n"
    "       snp-convert [panel|study|cases] --help\n"
    "       snp-convert --version\n"
    "Converts VCF/BCF files (plain, bgzipped or BCF) into the text files that\n"
    "snp-impute reads. Typical use, for one chromosome:\n"
    "  snp-convert panel --vcf panel.vcf.gz --out run\n"
    "  snp-convert study --vcf chip.vcf.gz --cases cases.txt --out run\n"
    "  snp-impute --vcf-out run/imputed.vcf.gz run/parameter.txt\n"
    "Exit status: 0 on success, 1 on any error.\n";

const OptionSpec kChromosomeOption{"--chromosome", "NAME", "chromosome to convert; required when FILE holds several"};

const ProgramSpec kPanelProgram{
    "snp-convert panel",
    "snp-convert panel --vcf PANEL.vcf.gz --out DIR [--chromosome NAME]",
    "Writes DIR/hapmap.hap and DIR/hapmap.map from the phased biallelic SNPs of\n"
    "one chromosome. Two haplotypes per sample, in sample order; REF is coded 0\n"
    "and ALT 1, and the map lists REF then ALT; '?' marks a missing allele.\n"
    "SNP names come from the ID column, or are CHROM:POS where it is '.'.\n"
    "Multi-allelic records, indels, records with an unphased heterozygous or a\n"
    "non-diploid genotype and repeated positions are skipped and counted.\n",
    {
        {"--vcf", "FILE", "phased reference panel (VCF, VCF.gz or BCF); required"},
        {"--out", "DIR", "output directory, created when missing; required"},
        kChromosomeOption,
        {"--drop-monomorphic", "", "leave out the markers with one allele on every\nhaplotype (counted either way)"},
        {"--binary", "", "also write DIR/hapmap.bin, the haplotypes bit-packed, which\n"
                         "snp-impute reads when the parameter file names it"},
    },
    "",
};

const ProgramSpec kStudyProgram{
    "snp-convert study",
    "snp-convert study --vcf STUDY.vcf.gz --cases IDS.txt --out DIR [options]",
    "Writes the study map (DIR/normal.map and its copy DIR/disease.map), the\n"
    "genotypes of the cases (DIR/disease.geno) and of the controls\n"
    "(DIR/normal.geno), each in VCF sample order, and DIR/parameter.txt for\n"
    "snp-impute. Cases are the samples listed in IDS.txt (first word of each\n"
    "line; '#' lines skipped), controls all other samples. Genotypes may be\n"
    "phased or unphased; a missing allele is written '0'.\n"
    "The reference counts and directory of the parameter file come from the\n"
    "converted panel in the panel directory, which must exist; study markers\n"
    "whose name is not in the panel but whose position and alleles are take the\n"
    "panel's name. A/T and C/G markers whose ALT frequencies in the study and\n"
    "the panel suggest opposite strands are reported and listed in\n"
    "DIR/strand_check.tsv. DIR/study_layout.tsv records the VCF's contig name\n"
    "and sample order.\n",
    {
        {"--vcf", "FILE", "study genotypes (VCF, VCF.gz or BCF); required"},
        {"--cases", "FILE", "sample IDs of the cases; required unless --pheno"},
        {"--pheno", "FILE",
         "instead of --cases: a phenotype file as snp-screen\n"
         "--pheno reads it; its cases are the cases"},
        {"--pheno-name", "NAME", "with --pheno: the column to read (default: the first)"},
        {"--out", "DIR", "output directory, created when missing; required"},
        {"--panel-dir", "DIR", "directory of the converted panel (default: --out DIR)"},
        kChromosomeOption,
        {"--threshold", "X", "calling threshold for the parameter file (default 0.33)"},
        {"--exclude-ambiguous", "", "leave A/T and C/G markers out of the study files"},
    },
    "",
};

const ProgramSpec kCasesProgram{
    "snp-convert cases",
    "snp-convert cases --vcf STUDY.vcf.gz --pheno FILE --out IDS.txt [--pheno-name NAME]",
    "Writes the IDs of the VCF's samples that the phenotype file makes cases,\n"
    "one per line in VCF sample order: the case list that snp-convert study,\n"
    "snp-screen and csm-analysis would take from --pheno.\n",
    {
        {"--vcf", "FILE", "study genotypes (VCF, VCF.gz or BCF); its samples; required"},
        {"--pheno", "FILE", "a phenotype file as snp-screen --pheno reads it; required"},
        {"--pheno-name", "NAME", "the column to read (default: the first)"},
        {"--out", "FILE", "the case list to write; required"},
    },
    "",
};

CasesCommand cases_command(const ParsedOptions& options) {
  return {options.required("--vcf"), options.required("--pheno"), options.value("--pheno-name").value_or(""),
          options.required("--out")};
}

PanelCommand panel_command(const ParsedOptions& options) {
  PanelCommand command{options.required("--vcf"), options.required("--out"), options.value("--chromosome")};
  command.drop_monomorphic = options.has("--drop-monomorphic");
  command.binary = options.has("--binary");
  return command;
}

StudyCommand study_command(const ParsedOptions& options) {
  const auto pheno = options.value("--pheno");
  if (pheno && options.has("--cases")) throw_usage_error(kStudyProgram.name, "--cases and --pheno exclude each other");
  if (options.has("--pheno-name") && !pheno) throw_usage_error(kStudyProgram.name, "--pheno-name needs --pheno FILE");
  StudyCommand command{options.required("--vcf"), pheno ? *pheno : options.required("--cases"),
                       options.required("--out"), options.value("--panel-dir"), options.value("--chromosome")};
  if (pheno) {
    command.pheno = *pheno;
    command.pheno_name = options.value("--pheno-name").value_or("");
  }
  command.exclude_ambiguous = options.has("--exclude-ambiguous");
  if (const auto text = options.value("--threshold")) {
    const auto value = parse_double(*text);
    if (!value || *value < 0 || *value > 1)
      throw_usage_error(kStudyProgram.name, "--threshold needs a number from 0 to 1, found " + *text);
    command.threshold = *value;
  }
  return command;
}

// Parses one subcommand's options; --help and --version answer at once.
template <class MakeCommand>
Command subcommand(const ProgramSpec& spec, const std::vector<std::string>& args, MakeCommand make) {
  const ParsedOptions options = parse_options(spec, {args.begin() + 1, args.end()});
  if (options.help) return HelpRequest{help_text(spec)};
  if (options.version) return HelpRequest{version_text("snp-convert")};
  return make(options);
}

// Reads the converted panel for the parameter file; throws InputError, with
// what to do, when the panel directory holds none or it cannot be read.
PanelIndex panel_for_study(const StudyCommand& command) {
  const std::string& directory = command.panel_dir ? *command.panel_dir : command.out;
  const std::string advice = ": run snp-convert panel --out " + directory +
                             " first, or give the converted panel's directory with --panel-dir\n";
  if (!has_panel(directory))
    throw InputError(InputProblem::cannot_open, "Error: no converted panel in " + directory + " (no " +
                                                    (std::filesystem::path(directory) / kReferenceMapFile).string() +
                                                    ")" + advice);
  try {
    return read_panel_directory(directory);
  } catch (const InputError& error) {
    std::string reason = error.what();
    if (reason.starts_with("Error: ")) reason.erase(0, 7);
    while (!reason.empty() && reason.back() == '\n') reason.pop_back();
    throw InputError(error.problem(),
                     "Error: cannot read the converted panel in " + directory + " (" + reason + ")" + advice);
  }
}

// The snp-impute beside this program (an absolute path), else the name
// found through PATH.
std::string impute_program() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "snp-impute";
  const std::string beside = (self.parent_path() / "snp-impute").string();
  return access(beside.c_str(), X_OK) == 0 ? beside : "snp-impute";
}

// A word as the shell reads it: quoted when it holds other characters than
// letters, digits and "_-+./:=@,%".
std::string shell_word(const std::string& word) {
  const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           std::string_view("_-+./:=@,%").find(c) != std::string_view::npos;
  });
  if (plain) return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

void report_match(const NameMatch& match, const PanelIndex& panel, std::ostream& err) {
  err << "Study markers found in the panel of " << panel.directory << ": " << match.by_name << " by name, "
      << match.by_position << " by position (renamed); " << match.unmatched << " not in the panel\n";
  if (match.by_name + match.by_position == 0)
    err << "Warning: no study marker is in the panel; check that both files hold the same chromosome\n";
}

// On chromosome 10 snp-impute leaves one study marker of its original data
// set uncoded; say so when the converted study reaches it.
void warn_fixed_exception(int chromosome, const StudyData& study, std::ostream& err) {
  constexpr size_t kSkippedMarker = 19596;
  if (chromosome == 10 && study.markers.size() > kSkippedMarker)
    err << "Warning: on chromosome 10 snp-impute never codes study marker " << kSkippedMarker + 1 << " ("
        << study.markers[kSkippedMarker].name << ")\n";
}

int chromosome_for_parameters(const std::string& name, std::ostream& err) {
  if (const auto number = chromosome_number(name)) return *number;
  err << "Warning: chromosome " << name << " has no number; " << kParameterFile << " gives 0\n";
  return 0;
}

}  // namespace

Command parse_command_line(const std::vector<std::string>& args) {
  if (args.empty()) throw_usage_error("snp-convert", "missing subcommand (panel, study or cases)");
  const std::string& sub = args[0];
  if (sub == "--help" || sub == "-h") return HelpRequest{kMainUsage};
  if (sub == "--version") return HelpRequest{version_text("snp-convert")};
  if (sub == "panel") return subcommand(kPanelProgram, args, panel_command);
  if (sub == "study") return subcommand(kStudyProgram, args, study_command);
  if (sub == "cases") return subcommand(kCasesProgram, args, cases_command);
  throw_usage_error("snp-convert", sub.starts_with("-") ? "unknown option " + sub : "unknown subcommand " + sub);
}

void run_panel(const PanelCommand& command, std::ostream& out, std::ostream& err) {
  VcfReader reader(command.vcf);
  PanelData panel = convert_panel(reader, command.chromosome);
  report_skipped(panel.summary, command.vcf, err);
  const std::vector<bool> monomorphic = monomorphic_markers(panel);
  const auto count = std::count(monomorphic.begin(), monomorphic.end(), true);
  if (count > 0) {
    err << count << " of " << panel.markers.size()
        << " panel markers are monomorphic in the panel (one allele on every haplotype); "
        << (command.drop_monomorphic ? "left out (--drop-monomorphic)\n"
                                     : "untyped study markers imputed from them carry no information\n");
    if (command.drop_monomorphic) panel = without_markers(panel, monomorphic);
    if (panel.markers.empty()) throw inconsistent_file(command.vcf, "every SNP is monomorphic in the panel");
  }
  make_directory(command.out);
  const std::string hap = write_file(command.out, kHaplotypeFile, [&](std::ostream& s) { write_haplotype_file(panel, s); });
  const std::string map = write_file(command.out, kReferenceMapFile, [&](std::ostream& s) { write_reference_map(panel, s); });
  out << "Panel: " << panel.markers.size() << " markers and " << panel.haplotypes.size()
      << " haplotypes of chromosome " << panel.summary.chromosome << " written to " << hap << " and " << map << "\n";
  if (command.binary) {
    const std::string bin = write_file(command.out, kBinaryPanelFile, [&](std::ostream& s) {
      write_binary_panel(s, static_cast<int>(panel.haplotypes.size()), static_cast<int>(panel.markers.size()),
                         [&](int m, std::int8_t* codes) {
                           for (size_t h = 0; h < panel.haplotypes.size(); ++h) {
                             const char c = panel.haplotypes[h][static_cast<size_t>(m)];
                             codes[h] = c == '?' ? std::int8_t{-1} : static_cast<std::int8_t>(c - '0');
                           }
                         });
    });
    out << "Binary haplotype file written to " << bin << "\n";
  }
}

void run_cases(const CasesCommand& command, std::ostream& out, std::ostream& err) {
  for (const std::string& input : {command.vcf, command.pheno})
    if (same_file(input, command.out)) throw_usage_error(kCasesProgram.name, "--out " + command.out + " is an input");
  const VcfReader reader(command.vcf);
  const std::vector<std::string> cases = cases_from_phenotype_file(reader.samples(), command.pheno, command.pheno_name, err);
  write_file_atomically(command.out, [&](std::ostream& s) {
    for (const std::string& id : cases) s << id << "\n";
  });
  out << cases.size() << " of " << reader.samples().size() << " samples are cases; their IDs written to " << command.out
      << "\n";
}

void run_study(const StudyCommand& command, std::ostream& out, std::ostream& err) {
  std::vector<std::string> case_ids;
  if (command.pheno.empty()) {
    const auto ids_text = read_file_text(command.cases);
    if (!ids_text) throw InputError(InputProblem::cannot_open, "Error: cannot open " + command.cases + "\n");
    case_ids = parse_case_ids(*ids_text, command.cases);
    if (case_ids.empty()) err << "Warning: " << command.cases << " lists no sample ID: the study has no cases\n";
  }
  VcfReader reader(command.vcf);
  if (!command.pheno.empty()) case_ids = cases_from_phenotype_file(reader.samples(), command.pheno, command.pheno_name, err);
  StudyData study = convert_study(reader, case_ids, command.cases, command.chromosome);
  report_skipped(study.summary, command.vcf, err);
  if (study.non_diploid_genotypes > 0)
    err << study.non_diploid_genotypes << " genotypes of other than two alleles written as missing (0 0)\n";
  if (command.exclude_ambiguous) {
    const long dropped = drop_ambiguous(study);
    err << "Left out " << dropped << " A/T and C/G markers (--exclude-ambiguous)\n";
    if (study.markers.empty())
      throw inconsistent_file(command.vcf, "every SNP is an A/T or C/G marker; none is left without them");
  }
  const PanelIndex panel = panel_for_study(command);
  report_match(match_panel_names(study, panel.markers), panel, err);
  const std::vector<StrandSuspect> suspects = check_strand(study, panel);

  RunConfig p;
  p.current_chr = chromosome_for_parameters(study.summary.chromosome, err);
  warn_fixed_exception(p.current_chr, study, err);
  p.population_marker = static_cast<int>(panel.markers.size());
  p.population_sample = panel.haplotypes;
  p.typed_marker = static_cast<int>(study.markers.size());
  p.ncase = study.count(true);
  p.ncontrol = study.count(false);
  p.calling_genotype_threshood = command.threshold;
  p.path_disease_datadirectory = absolute_directory(command.out);
  p.path_hapmap_datadirectory = panel.directory;
  p.path_hapmap_data_file = kHaplotypeFile;
  p.path_hapmap_data_mapfile = kReferenceMapFile;
  p.path_disease_data_file1 = kCaseGenotypeFile;
  p.path_disease_data_mapfile1 = kCaseMapFile;
  p.path_disease_data_file0 = kControlGenotypeFile;
  p.path_disease_data_mapfile0 = kStudyMapFile;
  p.result_data_file = p.path_disease_datadirectory + kResultFile;
  const std::string parameters = parameter_text(p);

  make_directory(command.out);
  write_file(command.out, kStudyMapFile, [&](std::ostream& s) { write_study_map(study, s); });
  write_file(command.out, kCaseMapFile, [&](std::ostream& s) { write_study_map(study, s); });
  write_file(command.out, kCaseGenotypeFile, [&](std::ostream& s) { write_genotypes(study, true, s); });
  write_file(command.out, kControlGenotypeFile, [&](std::ostream& s) { write_genotypes(study, false, s); });
  write_file(command.out, kStudyLayoutFile, [&](std::ostream& s) { write_study_layout(study, command.vcf, s); });
  const std::string table =
      write_file(command.out, kStrandTableFile, [&](std::ostream& s) { write_strand_table(suspects, s); });
  const std::string parameter_path = write_file(command.out, kParameterFile, [&](std::ostream& s) { s << parameters; });
  report_strand(suspects, table, err);
  out << "Study: " << p.typed_marker << " markers of " << p.ncase << " cases and " << p.ncontrol
      << " controls of chromosome " << study.summary.chromosome << " written to " << p.path_disease_datadirectory << "\n"
      << "Run: " << shell_word(impute_program()) << " --vcf-out "
      << shell_word(p.path_disease_datadirectory + "imputed.vcf.gz") << ' ' << shell_word(parameter_path) << "\n";
}

}  // namespace snp::convert
