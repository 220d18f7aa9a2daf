// Study map and study genotype files: allele letters coded as copies of the
// marker's minimum allele letter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/run_data.h"

namespace snp {

// The study map as read: per marker its SNP name (field 3) and its maximum
// (field 4) and minimum (field 5) allele letters.
struct StudyMap {
  std::vector<std::string> names;
  std::vector<AllelePair> letters;
};

// Parses `marker_count` records of eight fields; the letters are single
// non-blank characters and may stand next to each other.
StudyMap parse_study_map(std::string_view text, const std::string& path, int marker_count);

// Code of one genotype from its two letters (0 = missing position), given the
// marker's maximum and minimum allele letters: copies of the minimum letter,
// or -1 when an allele is "0" or any other letter.
inline std::int8_t code_genotype(char first, char second, char max_letter, char min_letter) {
  auto value = [&](char c) { return c == min_letter ? 1 : (c == max_letter ? 0 : -1); };
  const int a = value(first);
  const int b = value(second);
  return (a < 0 || b < 0) ? std::int8_t{-1} : static_cast<std::int8_t>(a + b);
}

// Reads the genotype file of the group selected by ctx.data.cc_or_als (1 =
// cases, 0 = controls) into rows first_row.. of `rows`, one code per study
// marker, coding with the letters of the study map.
void trans_ACGT_to_01_minus_1(RunContext& ctx, CharMatrix& rows, int first_row, int n);

}  // namespace snp
