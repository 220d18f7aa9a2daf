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
    const int rows = static_cast<int>(haplotypes.size()), people = static_cast<int>(individuals.size());
    panel = {rows, markers, CodeMatrix(rows, markers), {}, {}, {}, {}};
    study = {people, std::vector<std::int16_t>(individuals.size(), 1), CodeMatrix(people, markers, -1), {}};
    auto code = [](char c) { return static_cast<std::int8_t>(c == '?' || c == '.' ? -1 : c - '0'); };
    for (int m = 0; m < markers; ++m) {
      for (int h = 0; h < rows; ++h) panel.haplotypes(h, m) = code(haplotypes[h][m]);
      for (int r = 0; r < people; ++r) study.codes(r, m) = code(individuals[r][m]);
      panel.names.push_back("rs" + std::to_string(m + 1));
      panel.positions.push_back(100 * (m + 1));
      panel.letters.push_back({'A', 'G'});
    }
    for (int r = 0; r < people; ++r) study.ids.push_back("id" + std::to_string(r));
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
