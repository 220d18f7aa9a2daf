// The screen's data from a PLINK fileset, a VCF/BCF or an imputation result
// file: per-marker genotype counts of cases and controls, with the markers'
// chromosome, name, position and alleles.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "genotypes/genotypes.h"
#include "genotypes/phenotypes.h"
#include "single_marker/single_marker_tests.h"

namespace snp::screen {

// Chromosome, name, position and alleles of every marker, held compactly:
// chromosome names once, the other words in one text.
class MarkerLabels {
 public:
  void reserve(size_t markers);
  void add(const genotypes::Marker& marker);
  size_t size() const { return positions_.size(); }
  bool empty() const { return positions_.empty(); }
  const std::string& chromosome(size_t j) const { return chromosomes_[chromosome_of_[j]]; }
  long position(size_t j) const { return positions_[j]; }
  genotypes::Marker at(size_t j) const;

 private:
  std::vector<std::string> chromosomes_;
  std::vector<std::uint32_t> chromosome_of_;
  std::vector<long> positions_;
  std::string words_;               // name, A1 and A2 of each marker, each ended by '\0'
  std::vector<std::uint64_t> starts_;  // where each marker's words start
};

struct GenotypeInput {
  std::vector<GenotypeCounts> counts;
  MarkerLabels markers;
  SampleSize samplesize;  // cases and controls, excluded samples left out
};

// Sample groups as the counting takes them.
inline constexpr std::uint8_t kCaseGroup = 0;
inline constexpr std::uint8_t kControlGroup = 1;
inline constexpr std::uint8_t kExcludedGroup = 2;

// Groups from case/control phenotypes (1 case, 0 control, missing
// excluded). Throws FatalError when the phenotypes are quantitative or
// their count differs from `samples`.
std::vector<std::uint8_t> groups_of(const genotypes::Phenotypes& phenotypes, size_t samples,
                                    const std::string& source);

// Counts of codes 0, 1, 2 and missing of one marker per group.
GenotypeCounts count_codes(std::span<const std::int8_t> codes, std::span<const std::uint8_t> groups);

// Reads every marker of `reader` into counts over the given groups.
GenotypeInput read_genotype_input(genotypes::GenotypeReader& reader, std::span<const std::uint8_t> groups);

}  // namespace snp::screen
