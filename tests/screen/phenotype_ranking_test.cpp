#include "single_marker/phenotype_ranking.h"

#include <gtest/gtest.h>

#include <random>

#include "analysis/inputs/marker_selection.h"
#include "single_marker/screen_table.h"
#include "test_support.h"

namespace snp::screen {
namespace {

std::string marker_name(size_t j) {
  std::string name = "m";
  name += std::to_string(j);
  return name;
}

// Random genotypes with monomorphic markers, repeated markers (equal
// P_MIN) and missing codes.
PackedGenotypes random_genotypes(std::mt19937& random, size_t samples, size_t markers) {
  PackedGenotypes g(samples);
  std::vector<std::int8_t> codes(samples), previous;
  for (size_t j = 0; j < markers; ++j) {
    const unsigned kind = random() % 8;
    if (kind == 0 && !previous.empty()) {
      codes = previous;
    } else {
      for (auto& code : codes)
        code = kind == 1 ? 0 : random() % 20 == 0 ? -1 : static_cast<std::int8_t>(random() % 3);
    }
    g.add(codes);
    previous = codes;
  }
  return g;
}

// The ranking for a phenotype is the one csm-analysis --top takes from the
// table that snp-screen writes for that phenotype.
TEST(PhenotypeRanking, TopMarkersAreThoseOfTheScreenTableOfThePhenotype) {
  std::mt19937 random(11);
  const test::TempDir dir;
  const size_t samples = 131;
  const PackedGenotypes g = random_genotypes(random, samples, 300);
  for (int round = 0; round < 4; ++round) {
    std::vector<short> phenotype(samples);
    for (auto& y : phenotype) y = static_cast<short>(random() % 2);
    const CaseLabels labels = case_labels(phenotype);
    write_screen_table(
        dir.file("t.screen.tsv"), g.markers(),
        [](size_t j) { return genotypes::Marker{"1", marker_name(static_cast<size_t>(j)), static_cast<long>(j + 1), "A", "G"}; },
        [&](size_t j) { return g.counts(j, labels); }, labels.sizes);
    // Few markers reach 0.05; larger counts need the markers above it and
    // the untestable ones.
    for (const int count : {1, 5, 40, 300}) {
      const std::vector<std::string> table = top_markers(dir.file("t.screen.tsv"), count);
      std::vector<std::string> ranked;
      for (const int j : top_by_minimum(g, phenotype, count)) ranked.push_back(marker_name(static_cast<size_t>(j)));
      ASSERT_EQ(ranked, table) << "round " << round << " count " << count;
    }
  }
}

TEST(PhenotypeRanking, CountsOfALabellingMatchTheCodes) {
  PackedGenotypes g(70);
  std::vector<std::int8_t> codes(70);
  for (size_t s = 0; s < codes.size(); ++s) codes[s] = static_cast<std::int8_t>(s % 4) - 1;
  g.add(codes);
  std::vector<short> phenotype(70, 0);
  for (size_t s = 0; s < 70; s += 2) phenotype[s] = 1;
  GenotypeCounts expected;
  for (size_t s = 0; s < 70; ++s) {
    auto& group = phenotype[s] == 1 ? expected.cases : expected.controls;
    ++group[codes[s] < 0 ? 3 : static_cast<size_t>(codes[s])];
    EXPECT_EQ(g.code(0, s), codes[s]);
  }
  const CaseLabels labels = case_labels(phenotype);
  EXPECT_EQ(labels.sizes.cases, 35);
  const GenotypeCounts c = g.counts(0, labels);
  EXPECT_EQ(c.cases, expected.cases);
  EXPECT_EQ(c.controls, expected.controls);
}

}  // namespace
}  // namespace snp::screen
