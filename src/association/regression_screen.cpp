#include "association/regression_screen.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ostream>

#include "association/principal_components.h"
#include "base/errors.h"
#include "base/output_file.h"
#include "base/parallel.h"
#include "genotypes/phenotypes.h"

namespace snp::association {
namespace {

constexpr size_t kBlockMarkers = 2048;
// The median of the 1-df chi-square distribution.
constexpr double kChiSquareMedian = 0.4549364;

std::unique_ptr<DosageSource> open_source(const RegressionRequest& request) {
  if (request.bed) return counts_of(genotypes::open_bed(request.input));
  if (request.dosage_field) return open_vcf_dosages(request.input);
  return counts_of(genotypes::open_vcf(request.input));
}

genotypes::Phenotypes phenotypes_of(const RegressionRequest& request, const std::vector<genotypes::Sample>& samples,
                                    std::string& source) {
  if (!request.case_list.empty()) {
    source = request.case_list;
    return genotypes::phenotypes_from_case_list(samples, request.case_list);
  }
  if (!request.pheno_file.empty()) {
    source = request.pheno_file;
    const bool quantitative = request.model == Model::linear;
    return genotypes::phenotypes_from_file(samples, request.pheno_file,
                                           {request.pheno_name, quantitative, quantitative ? "--linear" : ""});
  }
  source = request.input + ".fam";
  return genotypes::phenotypes_from_fam(samples, source);
}

[[noreturn]] void fail(const std::string& what) { throw FatalError("Error: " + what + "\n", Channel::standard_error); }

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Markers without a test, by reason, and the tested markers' chi-squares.
struct Tally {
  std::array<long, 5> problems{};
  long firth = 0;
  std::vector<double> chi_squares;
};

void write_line(std::ostream& out, const genotypes::Marker& marker, const MarkerResult& result, Model model) {
  out << marker.chromosome << '\t' << marker.name << '\t' << marker.position << '\t' << marker.counted << '\t'
      << marker.other << '\t' << result.samples << '\t' << (result.samples > 0 ? number(result.frequency) : "NA");
  const MarkerFit& fit = result.fit;
  if (fit.problem != FitProblem::none) out << "\tNA\tNA\tNA\tNA";
  else
    out << '\t' << number(model == Model::logistic ? std::exp(fit.beta) : fit.beta) << '\t' << number(fit.se) << '\t'
        << number(fit.statistic) << '\t' << number(fit.p);
  if (model == Model::logistic) out << '\t' << (fit.firth ? "yes" : "no");
  out << '\n';
}

double median(std::vector<double> values) {
  const size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(middle), values.end());
  const double upper = values[middle];
  if (values.size() % 2 == 1) return upper;
  return (upper + *std::max_element(values.begin(), values.begin() + static_cast<long>(middle))) / 2;
}

void report(std::ostream& notes, const Tally& tally, const RegressionRequest& request) {
  static constexpr std::array<const char*, 5> reasons = {"", "monomorphic", "too few samples",
                                                         "collinear with the covariates", "fit not converged"};
  long untested = 0;
  for (size_t r = 1; r < reasons.size(); ++r) untested += tally.problems[r];
  notes << "Note: " << tally.chi_squares.size() << " markers tested";
  if (request.model == Model::logistic) notes << " (" << tally.firth << " by Firth's penalized likelihood)";
  notes << ", " << untested << " NA";
  std::string why;
  for (size_t r = 1; r < reasons.size(); ++r)
    if (tally.problems[r] > 0) why += (why.empty() ? "" : ", ") + std::to_string(tally.problems[r]) + " " + reasons[r];
  if (!why.empty()) notes << " (" << why << ")";
  notes << "\n";
  if (!tally.chi_squares.empty())
    notes << "Note: lambda (median chi-square / 0.4549) = " << number(median(tally.chi_squares) / kChiSquareMedian)
          << "\n";
}

void refuse_same_paths(const RegressionRequest& request, const std::vector<std::string>& outputs) {
  std::vector<std::string> inputs = {request.case_list, request.pheno_file, request.covar_file};
  if (request.bed)
    for (const char* ext : {".bed", ".bim", ".fam"}) inputs.push_back(request.input + ext);
  else inputs.push_back(request.input);
  for (size_t o = 0; o < outputs.size(); ++o) {
    for (const std::string& input : inputs)
      if (!input.empty() && same_file(outputs[o], input)) fail("the output " + outputs[o] + " is the input " + input);
  }
}

Design design_of(const RegressionRequest& request, DosageSource& source, std::ostream& notes) {
  std::string phenotype_source;
  const genotypes::Phenotypes phenotypes = phenotypes_of(request, source.samples(), phenotype_source);
  if (request.model == Model::logistic && phenotypes.kind != genotypes::PhenotypeKind::case_control)
    fail(phenotype_source + ": the phenotype is quantitative; --logistic needs case/control status (2/1 or 1/0)");
  if (request.model == Model::linear && phenotypes.kind != genotypes::PhenotypeKind::quantitative)
    fail(phenotype_source + ": the phenotype is case/control; --linear needs a quantitative phenotype");
  if (phenotypes.unmatched_ids > 0)
    notes << "Warning: " << phenotype_source << ": " << phenotypes.unmatched_ids << " IDs name no sample of "
          << source.path() << "\n";
  Covariates covariates;
  if (!request.covar_file.empty()) {
    covariates = read_covariates(source.samples(), request.covar_file, request.covar_names);
    if (covariates.unmatched_ids > 0)
      notes << "Warning: " << request.covar_file << ": " << covariates.unmatched_ids << " IDs name no sample of "
            << source.path() << "\n";
  }
  if (request.components > 0) {
    const auto first_pass = open_source(request);
    const Components components = principal_components(*first_pass, request.components, request.threads);
    notes << "Note: " << request.components << " principal components of " << components.markers << " markers\n";
    write_components(request.prefix, source.samples(), components);
    covariates = joined(std::move(covariates), as_covariates(components));
  }
  Design design = build_design(phenotypes.values, covariates);
  notes << "Note: " << design.samples.size() << " of " << source.samples().size() << " samples used";
  if (request.model == Model::logistic) {
    const auto cases = static_cast<long>(design.phenotype.sum());
    notes << ": " << cases << " cases, " << static_cast<long>(design.samples.size()) - cases << " controls";
  }
  notes << "; " << design.without_phenotype << " without a phenotype, " << design.without_covariates
        << " with a missing covariate (phenotype from " << phenotype_source << ")\n";
  if (design.samples.size() < design.names.size() + 2)
    fail(phenotype_source + ": " + std::to_string(design.samples.size()) + " samples with a phenotype and covariates "
         "are too few for the model");
  return design;
}

}  // namespace

std::string table_path(const RegressionRequest& request) {
  return request.prefix + (request.model == Model::logistic ? ".logistic.tsv" : ".linear.tsv");
}

int run_regression(const RegressionRequest& request, std::ostream& notes) {
  const std::string path = table_path(request);
  refuse_same_paths(request, request.components > 0 ? std::vector<std::string>{path, request.prefix + ".eigenvec",
                                                                                request.prefix + ".eigenval"}
                                                    : std::vector<std::string>{path});
  const auto source = open_source(request);
  const Design design = design_of(request, *source, notes);
  const ModelBase base = model_base(request.model, design);
  ReplacingFile table(path);
  if (!table.created()) fail("cannot create " + path);
  std::ostream& out = table.stream();
  out << "CHR\tSNP\tBP\tA1\tA2\tN\tA1_FREQ\t"
      << (request.model == Model::logistic ? "OR\tSE\tZ\tP\tFIRTH\n" : "BETA\tSE\tT\tP\n");
  Tally tally;
  DosageBlock block;
  std::vector<MarkerResult> results;
  long markers = 0;
  bool progress_shown = false;
  while (source->read(block, kBlockMarkers)) {
    results.assign(block.size(), MarkerResult{});
    parallel_for(static_cast<int>(block.size()), request.threads,
                 [&](int m, int) { results[m] = test_marker(base, block.of(static_cast<size_t>(m))); });
    for (size_t m = 0; m < block.size(); ++m) {
      const MarkerFit& fit = results[m].fit;
      write_line(out, block.markers[m], results[m], request.model);
      ++tally.problems[static_cast<size_t>(fit.problem)];
      if (fit.problem != FitProblem::none) continue;
      tally.firth += fit.firth ? 1 : 0;
      tally.chi_squares.push_back(fit.statistic * fit.statistic);
    }
    markers += static_cast<long>(block.size());
    if (block.size() == kBlockMarkers) {
      notes << "\r" << markers << " markers tested" << std::flush;
      progress_shown = true;
    }
  }
  if (progress_shown) notes << "\n";
  notes << "Note: " << markers << " markers read from " << source->path();
  if (source->skipped() > 0) notes << "; " << source->skipped() << " records skipped (" << source->skipped_reasons() << ")";
  notes << "\n";
  if (markers == 0) fail(source->path() + ": no markers to test");
  report(notes, tally, request);
  if (!table.commit()) fail("cannot write " + path);
  return 0;
}

}  // namespace snp::association
