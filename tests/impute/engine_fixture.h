// A hand-made panel and study on the same markers for the engine tests.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "impute/reference_engine.h"

namespace snp::test {

struct EngineFixture {
  std::ostringstream console;
  ReferencePanel panel;
  StudyGenotypes study;
  Neighbourhood n;

  // haplotypes: one string per panel row, one character ('0', '1', '?') per
  // reference marker. study: one string per individual, one character per
  // reference marker ('0', '1', '2', '.' for missing).
  EngineFixture(const std::vector<std::string>& haplotypes, const std::vector<std::string>& individuals) {
    const int markers = static_cast<int>(haplotypes.at(0).size());
    panel.haplotype_count = static_cast<int>(haplotypes.size());
    panel.marker_count = markers;
    panel.haplotypes.allocate(panel.haplotype_count, markers);
    study.individuals = static_cast<int>(individuals.size());
    study.codes.allocate(study.individuals, markers, -1);
    study.status.assign(individuals.size(), 1);
    for (int m = 0; m < markers; ++m) {
      for (int h = 0; h < panel.haplotype_count; ++h) {
        const char c = haplotypes[static_cast<size_t>(h)][static_cast<size_t>(m)];
        panel.haplotypes(h, m) = static_cast<std::int8_t>(c == '?' ? -1 : c - '0');
      }
      for (int r = 0; r < study.individuals; ++r) {
        const char c = individuals[static_cast<size_t>(r)][static_cast<size_t>(m)];
        study.codes(r, m) = static_cast<std::int8_t>(c == '.' ? -1 : c - '0');
      }
      panel.names.push_back("rs" + std::to_string(m + 1));
      panel.positions.push_back(100 * (m + 1));
      panel.letters.push_back({'A', 'G'});
    }
    for (int r = 0; r < study.individuals; ++r) study.ids.push_back("id" + std::to_string(r));
  }

  // Sets the neighbourhood directly and returns its step tables.
  StepTables neighbourhood(const std::vector<int>& left, const std::vector<int>& right, int target) {
    n.target = target;
    n.len1 = static_cast<int>(left.size());
    n.len2 = static_cast<int>(right.size());
    std::copy(left.begin(), left.end(), n.marker1.begin());
    std::copy(right.begin(), right.end(), n.marker2.begin());
    StepTables tables = build_step_tables(study, n);
    mark_compatible_pairs(panel, n, tables);
    return tables;
  }
};

}  // namespace snp::test
