#include "driver/parameter_file.h"

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

TEST(ParameterFile, MalformedValueWarnsAndStops) {
  RunConfig cfg;
  std::ostringstream warnings;
  parse_parameter_text("chr 7\npm 12x\nps 99\n", "p.txt", cfg, warnings);
  EXPECT_EQ(cfg.population_marker, 143232);
  EXPECT_EQ(cfg.population_sample, 120);
  EXPECT_EQ(warnings.str(),
            "Warning: line 2 of p.txt: value 2 (pm) should be an integer, found \"12x\"; it and the values after it "
            "keep their defaults\n");
  // A short file keeps the other defaults; the range ends at the last marker.
  cfg = RunConfig{};
  parse_parameter_text("chr 7 pm 500", "p.txt", cfg, warnings);
  EXPECT_EQ(cfg.effective_last_marker(), 500);
}

}  // namespace
}  // namespace snp
