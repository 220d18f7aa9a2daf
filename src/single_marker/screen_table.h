// PREFIX.screen.tsv: one tab-separated row per marker with its genotype
// counts, the asymptotic p-value of each model and of their minimum, and the
// Benjamini-Hochberg q-values, numbers written as %g.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "genotypes/genotypes.h"
#include "single_marker/single_marker_tests.h"

namespace snp::screen {

inline constexpr const char* kTableSuffix = ".screen.tsv";

// Asymptotic chi-square p-values of the four models and their minimum;
// nullopt where the test cannot be done: no effective member in a group,
// or a table without variation (one allele only for the allelic model, an
// empty column of the dominant or recessive 2x2, fewer than two genotype
// classes for the genotype model).
using TablePvalues = std::array<std::optional<double>, 5>;

// Which of the four models (allelic, dominant, recessive, genotype) can be
// tested on these counts, as above.
std::array<bool, 4> testable_models(const GenotypeCounts& counts, const SampleSize& samplesize);

TablePvalues table_pvalues(const GenotypeCounts& counts, const SampleSize& samplesize);

// Benjamini-Hochberg q-values over `markers` tests: q of rank r (ascending
// p) is the least p(k) * markers / k over k >= r, at most 1. Untested
// entries stay untested and take no rank.
std::vector<std::optional<double>> bh_qvalues(const std::vector<std::optional<double>>& p, size_t markers);

// The header line (without its line end).
std::string table_header();

// Writes the table; `label(j)` gives marker j's CHR, SNP, BP, A1 and A2,
// `counts(j)` its genotype counts. Throws FatalError when the file cannot
// be written.
void write_screen_table(const std::string& path, size_t markers,
                        const std::function<genotypes::Marker(size_t)>& label,
                        const std::function<GenotypeCounts(size_t)>& counts, const SampleSize& samplesize);
// The same into an open stream.
void write_screen_table(std::ostream& out, size_t markers, const std::function<genotypes::Marker(size_t)>& label,
                        const std::function<GenotypeCounts(size_t)>& counts, const SampleSize& samplesize);

}  // namespace snp::screen
