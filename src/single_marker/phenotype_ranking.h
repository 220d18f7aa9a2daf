// The screen's ranking of markers by P_MIN, repeated for many phenotypes of
// the same genotypes (permuted case/control labels): each marker's codes
// are held as bit planes, so the counts of any labelling are popcounts, and
// the p-values are those of the screen table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "single_marker/single_marker_tests.h"

namespace snp::screen {

// Codes of every marker for a fixed set of samples: per marker one plane of
// the samples with code 1, one with code 2 and one with a missing code.
class PackedGenotypes {
 public:
  explicit PackedGenotypes(size_t samples);
  // Appends a marker: one code (-1, 0, 1, 2) per sample.
  void add(std::span<const std::int8_t> codes);
  size_t markers() const { return totals_.size(); }
  size_t samples() const { return samples_; }
  // The code of sample s at marker j.
  std::int8_t code(size_t j, size_t s) const;
  // Counts of marker j with the cases of `labels` as cases and all other
  // samples as controls.
  GenotypeCounts counts(size_t j, const struct CaseLabels& labels) const;

 private:
  const std::uint64_t* plane(size_t j, size_t which) const { return planes_.data() + (3 * j + which) * words_; }
  size_t samples_;
  size_t words_;
  std::vector<std::uint64_t> planes_;
  std::vector<std::array<int, 4>> totals_;  // codes 0, 1, 2 and missing over all samples
};

// The samples whose phenotype is 1 (cases, as the screen counts them) as a
// plane, and the group sizes.
struct CaseLabels {
  std::vector<std::uint64_t> plane;
  SampleSize sizes;
};
CaseLabels case_labels(std::span<const short> phenotype);

// P_MIN of the screen table as written (six significant digits), or
// nullopt where it is NA.
std::optional<double> table_minimum(const GenotypeCounts& counts, const SampleSize& samplesize);

// The `count` markers with the smallest P_MIN of the screen table of these
// genotypes and this phenotype (1 case, any other value control), chosen as
// csm-analysis --top chooses from the table: smallest first, equal values
// in marker order, NA last. Only markers that can reach the top are
// evaluated in full.
std::vector<int> top_by_minimum(const PackedGenotypes& genotypes, std::span<const short> phenotype, int count);

}  // namespace snp::screen
