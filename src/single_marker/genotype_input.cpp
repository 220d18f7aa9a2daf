#include "single_marker/genotype_input.h"

#include <algorithm>

#include "base/errors.h"

namespace snp::screen {
namespace {

// Markers decoded and counted together.
constexpr size_t kBlockMarkers = 8192;

}  // namespace

std::vector<std::uint8_t> groups_of(const genotypes::Phenotypes& phenotypes, size_t samples,
                                    const std::string& source) {
  if (phenotypes.kind != genotypes::PhenotypeKind::case_control)
    throw FatalError("Error: " + source +
                         ": the phenotype is quantitative; the screen needs case/control status (2/1 or 1/0)\n",
                     Channel::standard_error);
  if (phenotypes.values.size() != samples)
    throw FatalError("Error: " + source + ": " + std::to_string(phenotypes.values.size()) +
                         " statuses for " + std::to_string(samples) + " samples\n",
                     Channel::standard_error);
  std::vector<std::uint8_t> groups(samples);
  for (size_t s = 0; s < samples; ++s) {
    const auto& v = phenotypes.values[s];
    groups[s] = !v ? kExcludedGroup : *v == 1 ? kCaseGroup : kControlGroup;
  }
  return groups;
}

GenotypeCounts count_codes(std::span<const std::int8_t> codes, std::span<const std::uint8_t> groups) {
  const genotypes::GroupCounts c = genotypes::count_groups(codes, groups);
  GenotypeCounts counts;
  counts.cases = c.group[kCaseGroup];
  counts.controls = c.group[kControlGroup];
  return counts;
}

void MarkerLabels::reserve(size_t markers) {
  chromosome_of_.reserve(markers);
  positions_.reserve(markers);
  starts_.reserve(markers);
}

void MarkerLabels::add(const genotypes::Marker& marker) {
  // Markers come chromosome by chromosome: the last one's is checked first.
  if (chromosome_of_.empty() || chromosomes_[chromosome_of_.back()] != marker.chromosome) {
    const auto known = std::find(chromosomes_.begin(), chromosomes_.end(), marker.chromosome);
    const auto index = static_cast<std::uint32_t>(known - chromosomes_.begin());
    if (known == chromosomes_.end()) chromosomes_.push_back(marker.chromosome);
    chromosome_of_.push_back(index);
  } else {
    chromosome_of_.push_back(chromosome_of_.back());
  }
  positions_.push_back(marker.position);
  starts_.push_back(words_.size());
  for (const std::string* word : {&marker.name, &marker.counted, &marker.other}) {
    words_ += *word;
    words_ += '\0';
  }
}

genotypes::Marker MarkerLabels::at(size_t j) const {
  const char* name = words_.data() + starts_[j];
  const char* counted = name + std::char_traits<char>::length(name) + 1;
  const char* other = counted + std::char_traits<char>::length(counted) + 1;
  return genotypes::Marker{chromosome(j), name, positions_[j], counted, other};
}

GenotypeInput read_genotype_input(genotypes::GenotypeReader& reader, std::span<const std::uint8_t> groups) {
  GenotypeInput input;
  input.samplesize.cases = static_cast<int>(std::count(groups.begin(), groups.end(), kCaseGroup));
  input.samplesize.controls = static_cast<int>(std::count(groups.begin(), groups.end(), kControlGroup));
  if (reader.marker_count() > 0) {
    input.counts.reserve(static_cast<size_t>(reader.marker_count()));
    input.markers.reserve(static_cast<size_t>(reader.marker_count()));
  }
  genotypes::MarkerBlock block;
  std::vector<genotypes::GroupCounts> counts;
  while (reader.count_block(block, counts, kBlockMarkers, groups)) {
    for (const auto& c : counts) {
      GenotypeCounts& marker = input.counts.emplace_back();
      marker.cases = c.group[kCaseGroup];
      marker.controls = c.group[kControlGroup];
    }
    for (const auto& marker : block.markers) input.markers.add(marker);
  }
  return input;
}

}  // namespace snp::screen
