#include "screen/command_line.h"

#include <initializer_list>
#include <iostream>
#include <utility>

#include "base/errors.h"
#include "genotypes/phenotypes.h"
#include "single_marker/screen_table.h"

namespace snp::screen {

const ProgramSpec kScreenProgram{
    "snp-screen",
    "snp-screen [options]",
    "Tests every marker of DIR/CaseAndControlData.txt for association with\n"
    "case/control status under the additive (allelic), dominant, recessive and\n"
    "genotype models and under their minimum. Lists the markers with p <= 0.002\n"
    "(minimum model: p <= 0.0005), selects markers per model by the\n"
    "Benjamini-Hochberg rule at a false discovery rate of 0.05 (minimum model:\n"
    "0.0125), and writes the selected markers with their chromosome and locus to\n"
    "FDR_results.txt in the current directory; everything else goes to standard\n"
    "output.\n"
    "The data file holds one line per individual: the status (1 = case, any other\n"
    "value = control), then one code per marker, 0, 1 or 2 (copies of the counted\n"
    "allele) or -1 (missing), with or without blanks between them. Markers after\n"
    "the last code of a short line are missing.\n"
    "Instead of --data-dir the genotypes can come from a PLINK 1 binary fileset\n"
    "(--bfile), a VCF/BCF file (--vcf) or an imputation result file (--imputed);\n"
    "their markers then give the chromosome and position (locus) of a selected\n"
    "marker, and no marker count or name directory is needed.\n",
    {
        {"--samples", "N", "lines (individuals) to read (default: controls + cases)"},
        {"--markers", "N", "markers (codes per line) (default 541325)"},
        {"--controls", "N", "controls of the study (default 271)"},
        {"--cases", "N",
         "cases of the study (default 276)\n"
         "A test's group size is the study's count less the\n"
         "missing codes of the group at the marker.\n"
         "With --bfile or --vcf: a file of case sample IDs (IID,\n"
         "or FID and IID), one per line; all others are controls"},
        {"--data-dir", "DIR",
         "directory of CaseAndControlData.txt\n"
         "(default /home/kestrune/Study_workdir/Data/)"},
        {"--names-dir", "DIR",
         "directory of Chromosome_SNP_Length.txt, the marker\n"
         "counts of chromosomes 1 to 26 that give a selected\n"
         "marker its chromosome and locus\n"
         "(default /home/kestrune/Study_workdir/Data/)"},
        {"--bfile", "PREFIX",
         "PLINK 1 binary fileset PREFIX.bed/.bim/.fam (SNP-major);\n"
         "codes count A1; status from the .fam (2 case, 1 control,\n"
         "0 or -9 excluded) unless --cases IDS or --pheno is given"},
        {"--vcf", "FILE",
         "VCF or BCF file (GT of biallelic records; codes count\n"
         "ALT); status from --cases IDS or --pheno"},
        {"--pheno", "FILE",
         "with --bfile or --vcf: a header line naming FID and IID\n"
         "(or IID or ID) and a phenotype column, then one line per\n"
         "sample: 2/1 or 1/0 for case/control, NA or -9 missing\n"
         "(excluded); samples not in the file are excluded"},
        {"--pheno-name", "NAME",
         "with --pheno: the column to read (default: the first\n"
         "after FID and IID)"},
        {"--imputed", "FILE",
         "result file of snp-impute: one line per marker, codes of\n"
         "--cases cases, then --controls controls"},
        {"--chromosome", "NAME", "with --imputed: the markers' chromosome (default 0)"},
        {"--logistic", "",
         "with --bfile or --vcf: logistic regression of case/control\n"
         "status on each marker's allele dosage, the covariates and\n"
         "the principal components (Firth's penalized likelihood\n"
         "where the fit separates or does not converge), into\n"
         "PREFIX.logistic.tsv: CHR SNP BP A1 A2 N A1_FREQ OR SE Z P\n"
         "FIRTH (SE of the log odds ratio); NA: no test"},
        {"--linear", "",
         "as --logistic, linear regression of a quantitative --pheno\n"
         "into PREFIX.linear.tsv: ... BETA SE T P (t test)"},
        {"--dosage", "", "with --vcf: the dosage FORMAT/DS (GT where absent)"},
        {"--covar", "FILE",
         "covariates: a header FID IID c1 c2 ... (or IID c1 ...),\n"
         "one line per sample; numbers, NA missing; a sample\n"
         "missing from the file or a value is left out"},
        {"--covar-name", "A,B,...", "the --covar columns to use (default all)"},
        {"--pcs", "N",
         "also compute the top N principal components (markers with\n"
         "MAF >= 1%, thinned: r^2 <= 0.2 with the last 20 kept within\n"
         "500 kb), write PREFIX.eigenvec and PREFIX.eigenval, and\n"
         "use them as covariates"},
        {"--threads", "N", "with --logistic or --linear: threads (default 1)"},
        {"--out", "PREFIX",
         "also write PREFIX.screen.tsv: per marker CHR, SNP, BP,\n"
         "A1, A2, genotype counts of cases and controls, the\n"
         "p-value of each model and of the minimum (P_MIN) and\n"
         "the Benjamini-Hochberg q-values (NA: no test)"},
    },
    "Exit status: 0 on success, 1 on any error.\n",
};

namespace {

// The route the options name; more than one is a usage error.
ScreenRoute route_of(const ParsedOptions& parsed) {
  ScreenRoute route = ScreenRoute::data_file;
  std::string chosen;
  for (const auto& [name, candidate] : {std::pair{"--data-dir", ScreenRoute::data_file},
                                        std::pair{"--bfile", ScreenRoute::bed}, std::pair{"--vcf", ScreenRoute::vcf},
                                        std::pair{"--imputed", ScreenRoute::imputed}}) {
    if (!parsed.has(name)) continue;
    if (!chosen.empty()) throw_usage_error(kScreenProgram.name, chosen + " and " + name + " cannot go together");
    chosen = name;
    route = candidate;
  }
  return route;
}

void refuse(const ParsedOptions& parsed, std::initializer_list<const char*> names, const std::string& route) {
  for (const char* name : names)
    if (parsed.has(name)) throw_usage_error(kScreenProgram.name, std::string(name) + " does not apply to " + route);
}

association::RegressionRequest regression_request(const ParsedOptions& parsed, const ScreenOptions& options) {
  if (parsed.has("--logistic") && parsed.has("--linear"))
    throw_usage_error(kScreenProgram.name, "--logistic and --linear cannot go together");
  association::RegressionRequest request;
  request.model = parsed.has("--linear") ? association::Model::linear : association::Model::logistic;
  request.bed = options.route == ScreenRoute::bed;
  request.input = options.input;
  request.dosage_field = parsed.has("--dosage");
  if (request.bed && request.dosage_field) throw_usage_error(kScreenProgram.name, "--dosage goes with --vcf");
  request.case_list = options.case_list;
  request.pheno_file = options.pheno_file;
  request.pheno_name = parsed.value("--pheno-name").value_or("");
  request.covar_file = parsed.value("--covar").value_or("");
  request.covar_names = association::split_names(parsed.value("--covar-name").value_or(""));
  request.components = parsed.count("--pcs", 0, 0);
  request.threads = parsed.count("--threads", 1, 1);
  request.prefix = parsed.required("--out");
  if (request.model == association::Model::linear && request.pheno_file.empty() && !request.bed)
    throw_usage_error(kScreenProgram.name, "--linear needs a quantitative --pheno FILE");
  return request;
}

}  // namespace

ScreenOptions screen_options(const ParsedOptions& parsed) {
  ScreenOptions options;
  options.route = route_of(parsed);
  const bool regression = parsed.has("--logistic") || parsed.has("--linear");
  if (!regression)
    refuse(parsed, {"--dosage", "--covar", "--covar-name", "--pcs", "--threads"},
           "the screen (only to --logistic and --linear)");
  if (regression && options.route != ScreenRoute::bed && options.route != ScreenRoute::vcf)
    throw_usage_error(kScreenProgram.name, "--logistic and --linear need --bfile or --vcf");
  if (const auto prefix = parsed.value("--out")) options.table_prefix = *prefix;
  if (options.route == ScreenRoute::bed || options.route == ScreenRoute::vcf) {
    const std::string route = options.route == ScreenRoute::bed ? "--bfile" : "--vcf";
    refuse(parsed, {"--markers", "--samples", "--controls", "--names-dir", "--chromosome"}, route);
    options.input = parsed.required(route);
    options.case_list = parsed.value("--cases").value_or("");
    options.pheno_file = parsed.value("--pheno").value_or("");
    options.pheno_name = parsed.value("--pheno-name").value_or("");
    if (!options.pheno_name.empty() && options.pheno_file.empty())
      throw_usage_error(kScreenProgram.name, "--pheno-name needs --pheno FILE");
    if (!options.case_list.empty() && !options.pheno_file.empty())
      throw_usage_error(kScreenProgram.name, "--cases and --pheno cannot go together");
    if (options.route == ScreenRoute::vcf && options.case_list.empty() && options.pheno_file.empty())
      throw_usage_error(kScreenProgram.name, "--vcf needs the status from --cases IDS or --pheno FILE");
    if (regression) options.regression = regression_request(parsed, options);
    return options;
  }
  refuse(parsed, {"--pheno", "--pheno-name"}, options.route == ScreenRoute::imputed ? "--imputed" : "--data-dir");
  ScreenSettings& s = options.settings;
  if (options.route == ScreenRoute::imputed) {
    refuse(parsed, {"--markers", "--samples", "--names-dir"}, "--imputed");
    options.input = parsed.required("--imputed");
    options.chromosome = parsed.value("--chromosome").value_or(options.chromosome);
    s.samplesize.controls = parsed.count("--controls", 0, s.samplesize.controls);
    s.samplesize.cases = parsed.count("--cases", 0, s.samplesize.cases);
    if (s.samplesize.controls + s.samplesize.cases < 1)
      throw_usage_error(kScreenProgram.name, "--cases and --controls are both 0");
    return options;
  }
  refuse(parsed, {"--chromosome"}, "--data-dir");
  s.Marker = parsed.count("--markers", 1, s.Marker);
  s.samplesize.controls = parsed.count("--controls", 0, s.samplesize.controls);
  s.samplesize.cases = parsed.count("--cases", 0, s.samplesize.cases);
  if (const auto dir = parsed.value("--data-dir")) s.Datapath2 = with_final_slash(*dir);
  if (const auto dir = parsed.value("--names-dir")) options.names_dir = with_final_slash(*dir);
  s.Sample = parsed.count("--samples", 1, s.samplesize.controls + s.samplesize.cases);
  if (s.Sample < 1) throw_usage_error(kScreenProgram.name, "--samples must be at least 1 (controls + cases is 0)");
  return options;
}

namespace {

genotypes::Phenotypes phenotypes_of(const ScreenOptions& options, const genotypes::GenotypeReader& reader,
                                    std::string& source) {
  if (!options.case_list.empty()) {
    source = options.case_list;
    return genotypes::phenotypes_from_case_list(reader.samples(), options.case_list);
  }
  if (!options.pheno_file.empty()) {
    source = options.pheno_file;
    return genotypes::phenotypes_from_file(reader.samples(), options.pheno_file, {options.pheno_name});
  }
  source = options.input + ".fam";
  return genotypes::phenotypes_from_fam(reader.samples(), source);
}

}  // namespace

namespace {

// The files the run reads, which no output may be.
std::vector<NamedInput> inputs_of(const ScreenOptions& options) {
  switch (options.route) {
    case ScreenRoute::data_file:
      return {{options.settings.Datapath2 + kDataFileName, "data file"},
              {options.names_dir + "Chromosome_SNP_Length.txt", "chromosome lengths file"}};
    case ScreenRoute::bed:
      return {{options.input + ".bed", "genotype file"}, {options.input + ".bim", "marker file"},
              {options.input + ".fam", "sample file"}, {options.case_list, "--cases file"},
              {options.pheno_file, "--pheno file"}};
    case ScreenRoute::vcf:
      return {{options.input, "VCF"}, {options.case_list, "--cases file"}, {options.pheno_file, "--pheno file"}};
    case ScreenRoute::imputed:
      return {{options.input, "result file of snp-impute"}};
  }
  return {};
}

int run_screen_into(ScreenContext& ctx, const ScreenOptions& options);

}  // namespace

int run_screen(const ScreenOptions& options) {
  if (options.regression) return association::run_regression(*options.regression, std::cerr);
  ScreenContext ctx;
  ctx.settings = options.settings;
  ctx.naming.Datapath = options.names_dir;
  ctx.table_prefix = options.table_prefix;
  ScreenOutputs outputs(ctx.result_directory,
                        options.table_prefix.empty() ? std::string() : options.table_prefix + kTableSuffix, inputs_of(options));
  ctx.outputs = &outputs;
  const int status = run_screen_into(ctx, options);
  outputs.commit();
  return status;
}

namespace {

int run_screen_into(ScreenContext& ctx, const ScreenOptions& options) {
  if (options.route == ScreenRoute::data_file) return single_marker_test_five_model(ctx);

  std::unique_ptr<genotypes::GenotypeReader> reader;
  genotypes::Phenotypes phenotypes;
  std::string source;
  if (options.route == ScreenRoute::imputed) {
    const SampleSize& size = options.settings.samplesize;
    reader = genotypes::open_imputed(options.input, size.cases + size.controls, options.chromosome);
    phenotypes = genotypes::phenotypes_from_counts(size.cases, size.controls);
    source = options.input;
  } else {
    reader = options.route == ScreenRoute::bed ? genotypes::open_bed(options.input) : genotypes::open_vcf(options.input);
    phenotypes = phenotypes_of(options, *reader, source);
  }
  const std::vector<std::uint8_t> groups = groups_of(phenotypes, reader->samples().size(), source);
  const GenotypeInput input = read_genotype_input(*reader, groups);
  std::ostream& notes = *ctx.warnings;
  notes << "Note: " << reader->samples().size() << " samples: " << input.samplesize.cases << " cases, "
        << input.samplesize.controls << " controls, " << phenotypes.excluded << " excluded (status from " << source
        << ")\n";
  for (const std::string& note : phenotypes.notes) notes << note << "\n";
  if (phenotypes.unmatched_ids > 0)
    notes << "Warning: " << source << ": " << phenotypes.unmatched_ids << " IDs name no sample of " << reader->path()
          << ": " << genotypes::listed_ids(phenotypes.unmatched) << "\n";
  notes << "Note: " << input.markers.size() << " markers read from " << reader->path();
  if (reader->skipped() > 0) notes << "; " << reader->skipped() << " records skipped (" << reader->skipped_reasons() << ")";
  notes << "\n";
  if (input.markers.empty())
    throw FatalError("Error: " + reader->path() + ": no markers to screen\n", Channel::standard_error);
  if (input.samplesize.cases == 0 || input.samplesize.controls == 0)
    throw FatalError("Error: " + source + ": the screen needs cases and controls (found " +
                         std::to_string(input.samplesize.cases) + " cases and " +
                         std::to_string(input.samplesize.controls) + " controls)\n",
                     Channel::standard_error);
  return screen_genotype_input(ctx, input);
}

}  // namespace

}  // namespace snp::screen
