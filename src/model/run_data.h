// Everything the phases of one imputation run share: the reference panel,
// the study map and its alignment to the panel, the study matrix on the
// reference marker axis, and the per-marker statistics.
#pragma once

#include <array>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include <fstream>

#include "model/genotype_data.h"
#include "model/imputation_step.h"
#include "model/run_config.h"
#include "numeric/arrays.h"

namespace snp {

using AllelePair = std::array<char, 2>;

struct RunData {
  // Reference panel: haplotypes (1 / 0 as written, -1 for "?"), SNP names,
  // base-pair positions and the two allele letters of each marker.
  case_and_control_genotype_data data_population;
  std::vector<std::string> population_data_SNP;
  std::vector<int> position_SNP;
  std::vector<AllelePair> allele_name;

  // Study map: SNP names and the two letters of each study marker.
  std::vector<std::string> disease_data_SNP;
  std::vector<AllelePair> disease_allele_name;

  // Alignment. SNP_map[k] is the reference marker matched to study marker k
  // (k mod population_marker when none); snp_matched[k] tells the two apart.
  std::vector<int> SNP_map;
  std::vector<std::uint8_t> snp_matched;
  // Typed-marker list: first max_SNP_map1_i entries are used.
  std::vector<int> SNP_map1;
  int max_SNP_map1_i = 0;
  // Allele concordance tag per reference marker (-1 where unset or not comparable).
  std::vector<int> diff_SNP_name_tag;

  // Identifiers of the study individuals (first word of their genotype
  // lines), in the row order of data1.
  std::vector<std::string> sample_ids;

  // Study genotype codes on the reference marker axis; cases first.
  case_and_control_genotype_data data1;
  // Which study group the study reader fills next: 1 = cases, 0 = controls.
  int cc_or_als = 1;

  // Per-reference-marker statistics of the allele coding phase.
  DoubleMatrix allele_freq;  // [j][0] controls, [j][1] cases, [j][2] panel
  std::vector<double> Hardy_Weinberg;
  std::vector<double> correlation;
  std::vector<int> different_larger;
};

// The state handed to every phase: configuration, data, the current
// imputation step, the result stream and the console stream.
struct RunContext {
  RunConfig config;
  RunData data;
  ImputationStep step;
  std::ofstream fimput_out;
  std::ostream* console = &std::cout;
  std::ostream& out() const { return *console; }
};

}  // namespace snp
