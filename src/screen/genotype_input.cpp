#include "screen/genotype_input.h"

#include <algorithm>

#include "base/errors.h"
#include "screen/mapped_file.h"

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
  // Per group and code (-1 lands on entry 3 as code & 3); the excluded
  // group's row is dropped.
  std::array<std::array<int, 4>, 3> tally{};
  for (size_t s = 0; s < codes.size(); ++s)
    ++tally[groups[s]][static_cast<std::uint8_t>(codes[s]) & 3u];
  GenotypeCounts counts;
  counts.cases = tally[kCaseGroup];
  counts.controls = tally[kControlGroup];
  return counts;
}

GenotypeInput read_genotype_input(genotypes::GenotypeReader& reader, std::span<const std::uint8_t> groups) {
  GenotypeInput input;
  input.samplesize.cases = static_cast<int>(std::count(groups.begin(), groups.end(), kCaseGroup));
  input.samplesize.controls = static_cast<int>(std::count(groups.begin(), groups.end(), kControlGroup));
  genotypes::MarkerBlock block;
  while (reader.read_block(block, kBlockMarkers)) {
    const size_t first = input.counts.size();
    input.counts.resize(first + block.size());
    const unsigned threads = worker_count(block.size(), kBlockMarkers / 2);
    run_parallel(threads, [&](unsigned part) {
      for (size_t m = block.size() * part / threads; m < block.size() * (part + 1) / threads; ++m)
        input.counts[first + m] = count_codes(block.codes_of(m), groups);
    });
    std::move(block.markers.begin(), block.markers.end(), std::back_inserter(input.markers));
  }
  return input;
}

}  // namespace snp::screen
