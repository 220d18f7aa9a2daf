// Permuted data sets made by the program itself from a seed, so that a run
// can be repeated exactly.
//
// The generator is std::mt19937_64 seeded with the seed (its output sequence
// is fixed by the C++ standard). Permutation p (p = 1..N) continues the
// generator where permutation p - 1 left it and shuffles the observed
// phenotype row by Fisher-Yates: for i = n-1 down to 1, swap entries i and
// j = draw_below(i + 1). draw_below(b) takes the next 64-bit output x,
// discards it while x < 2^64 mod b, and returns x mod b, so that every j is
// equally likely.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "analysis/inputs/analysis_input.h"

namespace snp {

// A uniform draw from 0..bound-1 (bound >= 1), as described above.
std::uint64_t draw_below(std::mt19937_64& generator, std::uint64_t bound);

// `values` shuffled in place by Fisher-Yates with draw_below.
void fisher_yates(std::vector<short>& values, std::mt19937_64& generator);

// Appends `count` data sets to `input`, which holds only the observed one:
// its phenotype row shuffled with the generator seeded by `seed`, and its
// marker-column row unchanged. Permutation p is data set p.
void add_permuted_data_sets(AnalysisInput& input, int count, std::uint64_t seed);

}  // namespace snp
