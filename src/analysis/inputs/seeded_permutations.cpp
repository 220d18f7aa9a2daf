#include "analysis/inputs/seeded_permutations.h"

#include <unistd.h>

#include <iomanip>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "base/errors.h"

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

void check_permutation_memory(long count, std::size_t individuals, std::size_t markers, const std::string& source) {
  const double per_set = static_cast<double>(individuals * sizeof(short) + markers * sizeof(int) +
                                             2 * sizeof(std::vector<int>));
  const double needed = per_set * static_cast<double>(count);
  const long pages = ::sysconf(_SC_PHYS_PAGES), page_size = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return;
  const double memory = static_cast<double>(pages) * static_cast<double>(page_size);
  if (needed <= memory / 2) return;
  constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;
  std::ostringstream what;
  what << std::fixed << std::setprecision(1) << "Error: " << source << " asks for " << count
       << " permuted data sets, which need " << needed / kGiB << " GiB (" << individuals << " individuals, "
       << markers << " markers each); this machine has " << memory / kGiB
       << " GiB of memory, and a run may use half of it\n";
  throw FatalError(what.str(), Channel::standard_error);
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
