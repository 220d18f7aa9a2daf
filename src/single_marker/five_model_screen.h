// Genome-wide single-marker screen: every marker of the case/control data
// file is tested under the four genetic models and their minimum; markers
// passing fixed p-value thresholds are listed, and markers are selected per
// model by the Benjamini-Hochberg rule and written with their chromosome and
// locus to "FDR_results.txt".
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "genotypes/marker_naming.h"
#include "genotypes/genotypes.h"
#include "single_marker/case_control_file.h"
#include "single_marker/genotype_input.h"
#include "single_marker/screen_outputs.h"
#include "single_marker/single_marker_tests.h"

namespace snp::screen {

// Model names as printed; each has nine characters.
inline constexpr std::array<std::string_view, 5> modelname = {"additive ", "dominant ", "recessive", "genotype ",
                                                              "minimum  "};
inline constexpr int kMinimumModel = 4;
inline constexpr const char* kResultFileName = "FDR_results.txt";

struct ScreenSettings {
  int Sample = 547;     // individuals (lines of the data file)
  int Marker = 541325;  // markers (codes per line)
  std::string Datapath2 = "/home/kestrune/Study_workdir/Data/";  // directory of the data file
  SampleSize samplesize;
};

// Everything one screen reads and writes besides its data file.
struct ScreenContext {
  ScreenSettings settings;
  MarkerNaming naming;  // chromosome and locus of selected markers
  std::ostream* console = &std::cout;
  std::ostream* warnings = &std::cerr;
  // Directory (ending in '/') of "FDR_results.txt"; empty: the current one.
  std::string result_directory;
  // Markers named by the input (PLINK, VCF, result file): their chromosome
  // and position replace the naming's chromosome and locus.
  const MarkerLabels* markers = nullptr;
  // When set, the table PREFIX.screen.tsv of every marker is written too.
  std::string table_prefix;
  // Where "FDR_results.txt" and the table go when the caller opened them
  // (it commits them); null: each is written to its own file here.
  ScreenOutputs* outputs = nullptr;
};

// P-values of every marker under the four models, and the minimum model.
// No list or selection of the screen reads a p-value above 0.05: those are
// not evaluated and read kNotEvaluated.
inline constexpr double kNotEvaluated = 1.0;

struct ScreenTables {
  std::array<std::vector<double>, 4> p;
  std::vector<double> minimum;
  std::vector<std::uint8_t> minimum_model;  // 0..3, the model that gave it
  // The four p-values of marker j evaluated in full, for the order of
  // equal p-values (fdr_selection); empty: the tables are complete.
  std::function<ModelPvalues(size_t)> evaluated;
};

struct MinimumPvalue {
  double value;
  int model;
};

// The smallest of the four p-values; a tie keeps the earlier model.
MinimumPvalue minimum_of(const ModelPvalues& p);

// The p-value of a statistic as the screen needs it: exact where it can be
// 0.05 or less, otherwise kNotEvaluated. Throws like pvalue_of for a
// negative statistic.
double screened_pvalue(double statistic, int df);

ScreenTables test_all_markers(const MarkerCounts& counts, const SampleSize& samplesize);

// Benjamini-Hochberg count over ascending p-values: the largest rank r
// (1-based) with sorted[r-1] <= r * rate / M, or 0. Ranks beyond
// sorted.size() are taken to hold p-values above M * rate / M.
int fdr_selected_count(std::span<const double> sorted, int M, double rate);

// Markers whose p-value is at most the largest threshold M * rate / M,
// ordered by p-value with Quickindex1 over these markers alone.
std::vector<int> fdr_candidates(std::span<const double> p, double rate);

// The first `count` markers in the order of Quickindex1 over all markers:
// the candidates' order unless equal p-values meet within those `count`
// (or at its edge), where the full sort decides. That sort sees every
// marker's own p-value: `evaluated(j)` replaces a kNotEvaluated entry.
std::vector<int> fdr_selection(std::span<const double> p, std::vector<int> candidates, int count,
                               const std::function<double(size_t)>& evaluated = {});

// Lists the markers at or below the nominal thresholds (0.002; minimum
// model 0.0005) and their counts.
void report_nominal(const ScreenTables& t, std::ostream& out);

// Benjamini-Hochberg selection of one model (0..3, or kMinimumModel),
// written to the console and to `file`.
void report_fdr(ScreenContext& ctx, const ScreenTables& t, int model, std::ostream& file);

// Lists the nominal markers and writes every model's selection to the
// console and to "FDR_results.txt".
void report_all(ScreenContext& ctx, const ScreenTables& tables);

// Screens the counts of a PLINK, VCF or result-file input (its markers
// name the selected ones) as single_marker_test_five_model does the data
// file; returns 0.
int screen_genotype_input(ScreenContext& ctx, const GenotypeInput& input);

// Runs the whole screen; returns 0. Throws FatalError (InputError) for a
// data file that cannot be opened or read, a result file that cannot be
// created, and invalid statistics.
int single_marker_test_five_model(ScreenContext& ctx);

}  // namespace snp::screen
