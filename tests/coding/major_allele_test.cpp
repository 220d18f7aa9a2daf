#include "coding/major_allele.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace snp {
namespace {

TEST(HardyWeinberg, WorkedCounts) {
  std::ostringstream console;
  EXPECT_EQ(hardy_weinberg_statistic(0, 25, 0), 0.0);
  EXPECT_EQ(hardy_weinberg_pvalue(std::nan(""), console), 0.5);
  const double g1 = hardy_weinberg_statistic(0, 10, 90);
  EXPECT_NEAR(g1, 0.5266, 5e-5);
  EXPECT_NEAR(hardy_weinberg_pvalue(g1, console), 0.4681, 5e-5);
  // The two branches of the chi-square tail: series above, continued fraction here.
  const double g2 = hardy_weinberg_statistic(30, 40, 30);
  EXPECT_NEAR(g2, 4.0271, 5e-5);
  EXPECT_NEAR(hardy_weinberg_pvalue(g2, console), 0.04477, 5e-6);
  EXPECT_NEAR(hardy_weinberg_statistic(90, 10, 0), g1, 1e-12);  // symmetric in c0 and c2
}

// One study marker per reference marker: panel frequency ones/haplotypes,
// study codes per individual (cases first), concordance tag.
struct Marker {
  int panel_ones;
  std::vector<int> codes;
  int tag;
  AllelePair study_letters = {'A', 'G'};
};

struct Coded {
  StudyGenotypes study;
  AlleleStatistics stats;
  std::string console;
};

Coded code(const std::vector<Marker>& markers, int haplotypes, int cases) {
  const int m = static_cast<int>(markers.size());
  const int individuals = static_cast<int>(markers[0].codes.size());
  ReferencePanel panel;
  panel.haplotype_count = haplotypes;
  panel.marker_count = m;
  panel.haplotypes.allocate(haplotypes, m);
  panel.letters.assign(static_cast<size_t>(m), {'A', 'G'});
  Coded c;
  c.study.individuals = individuals;
  c.study.codes.allocate(individuals, m, -1);
  for (int s = 0; s < individuals; ++s) c.study.status.push_back(s < cases ? 1 : 0);
  StudyMap map;
  MarkerAlignment alignment;
  for (int j = 0; j < m; ++j) {
    const Marker& k = markers[static_cast<size_t>(j)];
    for (int h = 0; h < k.panel_ones; ++h) panel.haplotypes(h, j) = 1;
    for (int s = 0; s < individuals; ++s) c.study.codes(s, j) = static_cast<std::int8_t>(k.codes[static_cast<size_t>(s)]);
    map.letters.push_back(k.study_letters);
    alignment.reference_marker.push_back(j);
    alignment.matched.push_back(1);
    alignment.concordance.push_back(k.tag);
  }
  std::ostringstream console;
  c.stats = code_alleles(c.study, panel, map, alignment, console);
  c.console = console.str();
  return c;
}

TEST(AlleleCoding, RecodingLimitsOfEachConcordanceTag) {
  // Study frequency 0.5 everywhere (one heterozygous case and control);
  // recoding swaps 0 and 2, which the second individual shows.
  const std::vector<int> het = {1, 1, 0, 2};
  const Coded c = code({{51, het, 2}, {52, het, 2},    // strand class 2: distance 0.01 kept, 0.02 recoded
                        {75, het, 3}, {76, het, 3},    // class 3: 0.25 kept, 0.26 recoded
                        {75, het, -1}, {76, het, 0},   // unset and same order: as class 3
                        {50, het, 1}},                 // swapped letters: always recoded
                       100, 2);
  std::vector<int> third;
  for (int j = 0; j < 7; ++j) third.push_back(c.study.codes(2, j));
  EXPECT_EQ(third, (std::vector<int>{0, 2, 0, 2, 0, 2, 2}));
  EXPECT_EQ(c.study.codes(0, 1), 1);
}

TEST(AlleleCoding, GroupFrequenciesWithUnequalGroupsAndMissingCodes) {
  // Three cases (codes 2, 2, missing) and one control (code 0) against a
  // panel frequency of 0.75: case frequency 4 / (2 * 2), control 0 / 2.
  const Coded c = code({{3, {2, 2, -1, 0}, 0}}, 4, 3);
  EXPECT_EQ(c.stats.frequencies[0], (std::array<double, 3>{0.0, 1.0, 0.75}));
  EXPECT_EQ(c.study.codes(0, 0), 2);  // distance |0.75 - 0.5 - 0| = 0.25: kept
  // Both groups more than 0.1 from the panel, and the panel's allele coded 1
  // (G) differs from the study's maximum letter (A): discordant.
  EXPECT_EQ(c.stats.discordant[0], 1);
  EXPECT_EQ(c.console, "different_big=1\n");
  // One case (2) and three controls (2, missing, 0), swapped letters:
  // recoded, both frequencies turn; letters lined up: not flagged.
  const Coded d = code({{1, {2, 2, -1, 0}, 1, {'G', 'A'}}}, 4, 1);
  EXPECT_EQ(d.stats.frequencies[0], (std::array<double, 3>{0.5, 0.0, 0.25}));
  EXPECT_EQ(d.console, "different_big=0\n");
  // Every individual coded 2 at a recoded marker: both frequencies turn
  // from 1 to 0, the bound included.
  const Coded e = code({{1, {2, 2, 2}, 1, {'G', 'A'}}}, 4, 1);
  EXPECT_EQ(e.stats.frequencies[0], (std::array<double, 3>{0.0, 0.0, 0.25}));
}

}  // namespace
}  // namespace snp
