// Study map and study genotype files: allele letters coded as copies of the
// marker's minimum allele letter.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "input/reference_panel.h"
#include "numeric/code_matrix.h"

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
  const int first_min = first == min_letter, second_min = second == min_letter;
  const int known = (first_min | (first == max_letter)) & (second_min | (second == max_letter));
  return static_cast<std::int8_t>(known ? first_min + second_min : -1);
}

// Reads the study map of `marker_count` records.
StudyMap read_study_map(const std::string& path, int marker_count);

// Genotype codes of the study individuals (rows, cases first) by markers,
// with each individual's group (1 = case, 0 = control) and identifier (the
// first word of its genotype line).
struct StudyGenotypes {
  int individuals = 0;
  std::vector<std::int16_t> status;
  CodeMatrix codes;
  std::vector<std::string> ids;
};

// One group's genotype file and the study map it is coded with.
struct GenotypeGroup {
  std::string map_path;
  std::string genotype_path;
  int chromosome = 0;
  bool controls = false;
  int individuals = 0;
};

// Reads the group's genotype file into rows first_row.. of `rows`
// (individuals by study markers) and their identifiers into ids[first_row..],
// coding with the letters of the study map.
void read_genotype_group(const GenotypeGroup& group, int marker_count, CodeMatrix& rows, int first_row,
                         std::vector<std::string>& ids, std::ostream& console);

// Reads both groups (a group of no individuals is not read) into one study
// on the study marker axis, cases first.
StudyGenotypes read_study_genotypes(const GenotypeGroup& cases, const GenotypeGroup& controls, int marker_count,
                                    std::ostream& console);

}  // namespace snp
