#include "single_marker/phenotype_ranking.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <limits>

#include "single_marker/five_model_screen.h"
#include "single_marker/screen_table.h"

namespace snp::screen {
namespace {

constexpr size_t kWordBits = 64;
// Every p-value the screen leaves unevaluated lies above this.
constexpr double kEvaluatedBelow = 0.05;

// A value as the table writes it (%g, six significant digits) and read back.
double as_written(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr;
  double written = value;
  std::from_chars(text, end, written);
  return written;
}

int common(const std::uint64_t* a, const std::uint64_t* b, size_t words) {
  int n = 0;
  for (size_t w = 0; w < words; ++w) n += std::popcount(a[w] & b[w]);
  return n;
}

struct Ranked {
  double p;
  int marker;
  bool operator<(const Ranked& other) const { return p < other.p || (p == other.p && marker < other.marker); }
};

// The smallest p-value of the testable models where the screen evaluates
// it at or below kEvaluatedBelow; +infinity when every testable model lies
// above; nullopt when none is testable (NA).
std::optional<double> screened_minimum(const GenotypeCounts& c, const SampleSize& n) {
  const ModelStatistics s = statistics_from_counts(c, n);
  const std::array<bool, 4> testable = testable_models(c, n);
  if (std::none_of(testable.begin(), testable.end(), [](bool t) { return t; })) return std::nullopt;
  double minimum = std::numeric_limits<double>::infinity();
  for (size_t m = 0; m < 4; ++m) {
    if (!testable[m]) continue;
    const double p = screened_pvalue(s.value[m], s.df[m]);
    if (p <= kEvaluatedBelow) minimum = std::min(minimum, p);
  }
  return minimum;
}

}  // namespace

PackedGenotypes::PackedGenotypes(size_t samples) : samples_(samples), words_((samples + kWordBits - 1) / kWordBits) {}

void PackedGenotypes::add(std::span<const std::int8_t> codes) {
  const size_t first = planes_.size();
  planes_.resize(first + 3 * words_, 0);
  std::array<int, 4> total{};
  for (size_t s = 0; s < samples_; ++s) {
    const int code = codes[s];
    const size_t counted = code >= 0 && code <= 2 ? static_cast<size_t>(code) : 3;
    ++total[counted];
    // Planes 0, 1, 2: codes 1, 2 and missing; code 0 is the rest.
    if (counted != 0) planes_[first + (counted - 1) * words_ + s / kWordBits] |= std::uint64_t{1} << (s % kWordBits);
  }
  totals_.push_back(total);
}

std::int8_t PackedGenotypes::code(size_t j, size_t s) const {
  const auto bit = [&](size_t which) { return (plane(j, which)[s / kWordBits] >> (s % kWordBits)) & 1; };
  if (bit(2)) return -1;
  return bit(1) ? 2 : bit(0) ? 1 : 0;
}

GenotypeCounts PackedGenotypes::counts(size_t j, const CaseLabels& labels) const {
  GenotypeCounts c;
  const std::uint64_t* cases = labels.plane.data();
  c.cases[1] = common(plane(j, 0), cases, words_);
  c.cases[2] = common(plane(j, 1), cases, words_);
  c.cases[3] = common(plane(j, 2), cases, words_);
  c.cases[0] = labels.sizes.cases - c.cases[1] - c.cases[2] - c.cases[3];
  for (size_t code = 0; code < 4; ++code) c.controls[code] = totals_[j][code] - c.cases[code];
  return c;
}

CaseLabels case_labels(std::span<const short> phenotype) {
  CaseLabels labels;
  labels.plane.assign((phenotype.size() + kWordBits - 1) / kWordBits, 0);
  labels.sizes.cases = 0;
  for (size_t s = 0; s < phenotype.size(); ++s) {
    if (phenotype[s] != 1) continue;
    labels.plane[s / kWordBits] |= std::uint64_t{1} << (s % kWordBits);
    ++labels.sizes.cases;
  }
  labels.sizes.controls = static_cast<int>(phenotype.size()) - labels.sizes.cases;
  return labels;
}

std::optional<double> table_minimum(const GenotypeCounts& counts, const SampleSize& samplesize) {
  const std::optional<double> p = table_pvalues(counts, samplesize)[4];
  if (!p) return std::nullopt;
  return as_written(*p);
}

std::vector<int> top_by_minimum(const PackedGenotypes& genotypes, std::span<const short> phenotype, int count) {
  const CaseLabels labels = case_labels(phenotype);
  std::vector<Ranked> ranked;
  std::vector<int> above, untestable;
  for (size_t j = 0; j < genotypes.markers(); ++j) {
    const auto marker = static_cast<int>(j);
    const std::optional<double> p = screened_minimum(genotypes.counts(j, labels), labels.sizes);
    if (!p) {
      untestable.push_back(marker);
    } else if (*p <= kEvaluatedBelow) {
      ranked.push_back({as_written(*p), marker});
    } else {
      above.push_back(marker);
    }
  }
  // Markers above every evaluated one are needed only to fill the count.
  if (ranked.size() < static_cast<size_t>(count))
    for (const int marker : above)
      ranked.push_back({*table_minimum(genotypes.counts(static_cast<size_t>(marker), labels), labels.sizes), marker});
  const size_t kept = std::min(ranked.size(), static_cast<size_t>(std::max(count, 0)));
  std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept), ranked.end());
  std::vector<int> top;
  for (size_t r = 0; r < kept; ++r) top.push_back(ranked[r].marker);
  for (size_t r = 0; top.size() < static_cast<size_t>(count) && r < untestable.size(); ++r) top.push_back(untestable[r]);
  return top;
}

}  // namespace snp::screen
