#include "coding/genotype_export.h"

#include <gtest/gtest.h>

namespace snp {
namespace {

TEST(GenotypeExport, IndicatorColumnsPerMatchedStudyMarker) {
  RunData d;
  d.population_data_SNP = {"rsA", "rsB", "rsC"};
  d.position_SNP = {100, 200, 300};
  d.SNP_map = {2, 1, 0};
  d.snp_matched = {1, 0, 1};  // study marker 1 found no reference marker
  d.disease_allele_name = {{'A', 'G'}, {'C', 'T'}, {'G', 'T'}};
  d.data1.sample_number = 3;
  d.data1.genotype.allocate(3, 3, -1);
  const int codes[3][3] = {{2, 1, 0}, {0, 0, 0}, {-1, 1, 2}};  // [reference column][individual]
  for (int j = 0; j < 3; ++j)
    for (int s = 0; s < 3; ++s) d.data1.genotype(s, j) = static_cast<std::int8_t>(codes[j][s]);
  EXPECT_EQ(genotype_export_text(d, 3, 3),
            "SNP0 rsC 300 A G 0 0 0 0 1 0 1 0 0 \n"
            "SNP2 rsA 100 G T 1 0 0 0 1 0 0 0 1 \n");
  // Only the first 2999 study markers and the rows the study has.
  EXPECT_EQ(genotype_export_text(d, 1, 2), "SNP0 rsC 300 A G 0 0 0 0 1 0 \n");
}

}  // namespace
}  // namespace snp
