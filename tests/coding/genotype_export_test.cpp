#include "coding/genotype_export.h"

#include <gtest/gtest.h>

namespace snp {
namespace {

TEST(GenotypeExport, IndicatorColumnsPerMatchedStudyMarker) {
  InputData d;
  d.panel.names = {"rsA", "rsB", "rsC"};
  d.panel.positions = {100, 200, 300};
  d.alignment.reference_marker = {2, 1, 0};
  d.alignment.matched = {1, 0, 1};  // study marker 1 found no reference marker
  d.study_map.letters = {{'A', 'G'}, {'C', 'T'}, {'G', 'T'}};
  d.study.individuals = 3;
  d.study.codes.allocate(3, 3, -1);
  const int codes[3][3] = {{2, 1, 0}, {0, 0, 0}, {-1, 1, 2}};  // [reference column][individual]
  for (int j = 0; j < 3; ++j)
    for (int s = 0; s < 3; ++s) d.study.codes(s, j) = static_cast<std::int8_t>(codes[j][s]);
  EXPECT_EQ(genotype_export_text(d),
            "SNP0 rsC 300 A G 0 0 0 0 1 0 1 0 0 \n"
            "SNP2 rsA 100 G T 1 0 0 0 1 0 0 0 1 \n");
}

}  // namespace
}  // namespace snp
