#include "coding/major_allele.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace snp {
namespace {

TEST(HardyWeinberg, WorkedCounts) {
  std::ostringstream console;
  EXPECT_EQ(hardy_weinberg_statistic(0, 25, 0), 0.0);
  EXPECT_EQ(hardy_weinberg_pvalue(0.0, console), 0.5);
  EXPECT_EQ(hardy_weinberg_pvalue(std::nan(""), console), 0.5);
  const double g1 = hardy_weinberg_statistic(0, 10, 90);
  EXPECT_NEAR(g1, 0.5266, 5e-5);
  EXPECT_NEAR(hardy_weinberg_pvalue(g1, console), 0.4681, 5e-5);
  const double g2 = hardy_weinberg_statistic(30, 40, 30);
  EXPECT_NEAR(g2, 4.0271, 5e-5);
  EXPECT_NEAR(hardy_weinberg_pvalue(g2, console), 0.04477, 5e-6);
  EXPECT_NEAR(hardy_weinberg_statistic(90, 10, 0), g1, 1e-12);  // symmetric in c0 and c2
  EXPECT_EQ(console.str(), "");
}

TEST(Correlation, IgnoresMissingAndIsNanWithoutVariation) {
  const std::int8_t x[] = {0, 1, 2, -1, 2};
  const std::int8_t y[] = {0, 1, 2, 0, -1};
  EXPECT_NEAR(genotype_correlation(x, y, 5), 1.0, 1e-12);
  const std::int8_t z[] = {2, 1, 0, 1, 0};
  EXPECT_NEAR(genotype_correlation(x, z, 5), -1.0, 1e-12);
  const std::int8_t flat[] = {1, 1, 1, 1, 1};
  EXPECT_TRUE(std::isnan(genotype_correlation(x, flat, 5)));
}

// A study of `rows` individuals over reference markers with given tags.
struct CodingFixture {
  std::ostringstream console;
  RunContext ctx;
  CodingFixture(int markers, int haplotypes, int cases, int controls) {
    ctx.console = &console;
    ctx.config.population_marker = markers;
    RunData& d = ctx.data;
    d.data_population.sample_number = haplotypes;
    d.data_population.marker_number = markers;
    d.data_population.genotype.allocate(haplotypes, markers);
    d.data1.sample_number = cases + controls;
    d.data1.marker_number = markers;
    d.data1.genotype.allocate(cases + controls, markers, -1);
    for (int s = 0; s < cases + controls; ++s) d.data1.status.push_back(s < cases ? 1 : 0);
    d.allele_freq = matrix(0, markers, 0, 2);
    d.Hardy_Weinberg.assign(markers, -7);
    d.correlation.assign(markers, -7);
    d.diff_SNP_name_tag.assign(markers, -1);
    d.allele_name.assign(markers, AllelePair{'A', 'G'});
  }
  // Study marker k matched to reference column j.
  void study_marker(int j, AllelePair letters) {
    ctx.data.SNP_map.push_back(j);
    ctx.data.snp_matched.push_back(1);
    ctx.data.disease_allele_name.push_back(letters);
  }
  void fill_column(int j, const std::vector<int>& codes) {
    for (size_t s = 0; s < codes.size(); ++s) ctx.data.data1.genotype(static_cast<int>(s), j) = static_cast<std::int8_t>(codes[s]);
  }
  void panel_column(int j, const std::vector<int>& alleles) {
    for (size_t h = 0; h < alleles.size(); ++h)
      ctx.data.data_population.genotype(static_cast<int>(h), j) = static_cast<std::int8_t>(alleles[h]);
  }
};

TEST(MajorAllele, RecodesAgainstThePanelAndRecordsFrequencies) {
  // 4 haplotypes, 4 individuals (2 cases, 2 controls).
  CodingFixture f(3, 4, 2, 2);
  f.panel_column(0, {1, 1, 1, 0});  // p_ref 0.75
  f.fill_column(0, {0, 1, 1, 0});   // f_case = f_ctrl = 0.25, d = 0.5: recoded
  f.panel_column(1, {1, 0, 0, 0});  // p_ref 0.25
  f.fill_column(1, {0, 1, 1, 0});   // d = 0: tag 1 recodes anyway
  f.panel_column(2, {1, 1, 0, -1}); // p_ref (2 - 1) / 4 = 0.25
  f.fill_column(2, {0, -1, 1, 0});
  f.ctx.data.diff_SNP_name_tag[1] = 1;
  f.study_marker(0, {'A', 'G'});
  f.study_marker(1, {'A', 'G'});
  f.study_marker(2, {'G', 'A'});
  major_allele_transform1(f.ctx);
  const RunData& d = f.ctx.data;
  EXPECT_EQ(d.data1.genotype(0, 0), 2);
  EXPECT_EQ(d.data1.genotype(1, 0), 1);
  EXPECT_DOUBLE_EQ(d.allele_freq[0][0], 0.75);
  EXPECT_DOUBLE_EQ(d.allele_freq[0][1], 0.75);
  EXPECT_DOUBLE_EQ(d.allele_freq[0][2], 0.75);
  EXPECT_EQ(d.different_larger[0], 0);
  EXPECT_EQ(d.data1.genotype(0, 1), 2);  // tag 1
  EXPECT_EQ(d.different_larger[1], 1);   // 0.75 vs 0.25 and letters G vs A
  // Marker 2: f_case 0, f_ctrl 0.25, d = 0.125, not recoded; far from the
  // panel but its letters line up (G against G), so not flagged.
  EXPECT_EQ(d.data1.genotype(2, 2), 1);
  EXPECT_EQ(d.data1.genotype(1, 2), -1);
  EXPECT_DOUBLE_EQ(d.allele_freq[2][0], 0.25);
  EXPECT_DOUBLE_EQ(d.allele_freq[2][1], 0.0);
  EXPECT_DOUBLE_EQ(d.allele_freq[2][2], 0.25);
  EXPECT_EQ(d.different_larger[2], 0);
  EXPECT_EQ(f.console.str(), "different_big=1\n");
  // Columns 0 and 1 end up identical after recoding.
  EXPECT_NEAR(d.correlation[0], 1.0, 1e-12);
  EXPECT_NEAR(d.correlation[1], 1.0, 1e-12);
}

}  // namespace
}  // namespace snp
