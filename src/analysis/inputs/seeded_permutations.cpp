#include "analysis/inputs/seeded_permutations.h"

#include <stdexcept>
#include <utility>

namespace snp {

std::uint64_t draw_below(std::mt19937_64& generator, std::uint64_t bound) {
  // In unsigned arithmetic (0 - b) mod b is 2^64 mod b: the outputs below
  // it are the remainder that would favour the small values.
  const std::uint64_t discarded = (std::uint64_t{0} - bound) % bound;
  std::uint64_t x = generator();
  while (x < discarded) x = generator();
  return x % bound;
}

void fisher_yates(std::vector<short>& values, std::mt19937_64& generator) {
  for (std::size_t i = values.size(); i-- > 1;) std::swap(values[i], values[draw_below(generator, i + 1)]);
}

void add_permuted_data_sets(AnalysisInput& input, int count, std::uint64_t seed) {
  if (input.phenotypes.size() != 1 || input.columns.size() != 1)
    throw std::logic_error("permuted data sets are added to the observed data set alone");
  std::mt19937_64 generator(seed);
  for (int p = 0; p < count; ++p) {
    std::vector<short> row = input.phenotypes.front();
    fisher_yates(row, generator);
    input.phenotypes.push_back(std::move(row));
    input.columns.push_back(input.columns.front());
  }
  input.first_permuted = 1;
}

}  // namespace snp
