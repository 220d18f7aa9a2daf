#include "parameters/parameter_file.h"

#include <gtest/gtest.h>

#include <sstream>

namespace snp {
namespace {

TEST(ParameterFile, ReadsTheEighteenValuesInOrder) {
  RunConfig cfg;
  std::ostringstream warnings;
  parse_parameter_text(
      "chr 10\npm 138402 ps 100\ntm 28818\nnca 5\nnco 6\nthr 0.5\nd1 /data/ref\nd2 study/\nf1 a.hap f2 a.map\n"
      "f3 c.geno f4 c.map f5 n.geno f6 n.map out r.txt first 150 last 320\n",
      "p.txt", cfg, warnings);
  EXPECT_EQ(warnings.str(), "");
  EXPECT_EQ(cfg.current_chr, 10);
  EXPECT_EQ(cfg.population_marker, 138402);
  EXPECT_EQ(cfg.population_sample, 100);
  EXPECT_EQ(cfg.calling_genotype_threshood, 0.5);
  EXPECT_EQ(cfg.path_disease_data_mapfile0, "n.map");
  EXPECT_EQ(cfg.result_data_file, "r.txt");
  EXPECT_EQ(cfg.first_marker, 150);
  EXPECT_EQ(cfg.last_marker, 320);
  normalise_directories(cfg);
  EXPECT_EQ(cfg.path_hapmap_datadirectory, "/data/ref/");
  EXPECT_EQ(cfg.path_disease_datadirectory, "study/");
}

}  // namespace
}  // namespace snp
