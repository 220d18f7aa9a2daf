// A run context with a hand-made panel and study matrix for engine tests.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "driver/imputation_step.h"
#include "model/run_data.h"

namespace snp::test {

struct EngineFixture {
  std::ostringstream console;
  std::ostringstream result;
  RunContext ctx;

  // haplotypes: one string per panel row, one character ('0', '1', '?') per
  // reference marker. study: one string per individual, one character per
  // reference marker ('0', '1', '2', '.' for missing).
  EngineFixture(const std::vector<std::string>& haplotypes, const std::vector<std::string>& study) {
    ctx.console = &console;
    const int markers = haplotypes.empty() ? static_cast<int>(study.at(0).size()) : static_cast<int>(haplotypes[0].size());
    ctx.config.population_marker = markers;
    RunData& d = ctx.data;
    d.data_population.sample_number = static_cast<int>(haplotypes.size());
    d.data_population.marker_number = markers;
    d.data_population.genotype.allocate(static_cast<int>(haplotypes.size()), markers);
    for (size_t h = 0; h < haplotypes.size(); ++h)
      for (int m = 0; m < markers; ++m) {
        const char c = haplotypes[h][static_cast<size_t>(m)];
        d.data_population.genotype(static_cast<int>(h), m) = static_cast<std::int8_t>(c == '?' ? -1 : c - '0');
      }
    d.data1.sample_number = static_cast<int>(study.size());
    d.data1.marker_number = markers;
    d.data1.genotype.allocate(static_cast<int>(study.size()), markers, -1);
    d.data1.status.assign(study.size(), 1);
    for (size_t r = 0; r < study.size(); ++r)
      for (int m = 0; m < markers; ++m) {
        const char c = study[r][static_cast<size_t>(m)];
        d.data1.genotype(static_cast<int>(r), m) = static_cast<std::int8_t>(c == '.' ? -1 : c - '0');
      }
    for (int m = 0; m < markers; ++m) {
      d.population_data_SNP.push_back("rs" + std::to_string(m + 1));
      d.position_SNP.push_back(100 * (m + 1));
      d.allele_name.push_back({'A', 'G'});
    }
  }

  // Sets the neighbourhood directly and builds the window tables.
  void neighbourhood(const std::vector<int>& left, const std::vector<int>& right, int target) {
    ImputationStep& step = ctx.step;
    step.len1 = static_cast<int>(left.size());
    step.len2 = static_cast<int>(right.size());
    std::copy(left.begin(), left.end(), step.marker1.begin());
    std::copy(right.begin(), right.end(), step.marker2.begin());
    step.begin_hapmap_i = step.impute_marker[0] = target;
    build_window(ctx);
  }
};

}  // namespace snp::test
