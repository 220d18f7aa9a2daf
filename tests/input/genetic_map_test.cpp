// Genetic maps in their common layouts, their interpolation and the errors
// a damaged map gives.
#include "input/genetic_map.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>

#include "base/errors.h"

namespace snp {
namespace {

TEST(GeneticMap, CommonLayoutsReadAlike) {
  const std::vector<std::string> layouts = {
      "pos\tchr\tcM\n1000\t20\t0.5\n3000\t20\t1.5\n",
      "position COMBINED_rate(cM/Mb) Genetic_Map(cM)\n1000 7.1 0.5\n3000 0 1.5\n",
      "Chromosome Position(bp) Rate(cM/Mb) Map(cM)\nchr20 1000 7.1 0.5\nchr20 3000 0 1.5\n",
      "19 500 0.1\nchr20 1000 0.5\r\n20 3000 1.5\n21 100 0\n",  // chr position cM, other chromosomes
      "20 . 0.5 1000\n20 . 1.5 3000\n",                         // PLINK
  };
  for (const std::string& text : layouts) {
    const GeneticMap map = parse_genetic_map(text, "m.txt", 20);
    EXPECT_EQ(map.positions, (std::vector<long>{1000, 3000})) << text;
    EXPECT_EQ(map.centimorgans, (std::vector<double>{0.5, 1.5})) << text;
  }
}

TEST(GeneticMap, InterpolatesInsideAndExtendsAtTheMeanRateOutside) {
  const GeneticMap map{{1000, 2000, 5000}, {1.0, 1.0, 4.0}};  // mean rate 3 cM over 4000 bp
  const auto cm = genetic_positions(map, {0, 1000, 1500, 3500, 5000, 9000});
  const std::vector<double> expected = {0.25, 1.0, 1.0, 2.5, 4.0, 7.0};
  for (size_t k = 0; k < cm.size(); ++k) EXPECT_NEAR(cm[k], expected[k], 1e-12) << k;
  EXPECT_NEAR(constant_rate_positions({2500000}, 1.0)[0], 2.5, 1e-12);
}

TEST(GeneticMap, DamagedMapsNameTheLineAndTheProblem) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"pos chr cM\n1000 20 0.5\n900 20 0.7\n", "line 3 of the genetic map m.txt: positions must ascend"},
      {"pos chr cM\n1000 20 0.5\n2000 20 0.4\n",
       "line 3 of the genetic map m.txt: genetic positions must not decrease"},
      {"pos chr cM\n1000 20 x\n", "line 2 of the genetic map m.txt: the genetic position x is not a number"},
      {"pos chr cM\n1e3 20 0.5\n", "line 2 of the genetic map m.txt: the position 1e3 is not a whole number"},
      {"pos chr cM\n1000 20 0.5\n2000 20\n", "line 3 of the genetic map m.txt: expected 3 columns, found 2"},
      {"1000 0.5\n", "line 1 of the genetic map m.txt: expected three columns"},
      {"rate(cM/Mb) chr\n1 20\n", "line 1 of the genetic map m.txt: the header names no position or no cM column"},
      {"21 1000 0.5\n21 2000 0.7\n", "the genetic map m.txt holds 0 records of chromosome 20; at least two"},
      {"", "the genetic map m.txt holds 0 records; at least two"},
  };
  for (const auto& [text, message] : cases) {
    try {
      parse_genetic_map(text, "m.txt", 20);
      ADD_FAILURE() << "no error for " << text;
    } catch (const InputError& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  }
  EXPECT_THROW(read_genetic_map("/nonexistent/map.txt", 20), InputError);
}

TEST(GeneticMap, PosChrCmKeepsTheRunsChromosomeAndGzippedMapsRead) {
  const std::string text = "pos chr cM\n100 7 0.1\n200 7 0.2\n1000 20 0.5\n3000 20 1.5\n";
  EXPECT_EQ(parse_genetic_map(text, "m.txt", 7).positions, (std::vector<long>{100, 200}));
  EXPECT_EQ(parse_genetic_map(text, "m.txt", 20).positions, (std::vector<long>{1000, 3000}));
  const std::string path = (std::filesystem::temp_directory_path() / ("map-" + std::to_string(::getpid()) + ".gz")).string();
  gzFile out = gzopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
  gzclose(out);
  const GeneticMap map = read_genetic_map(path, 20);
  std::filesystem::remove(path);
  EXPECT_EQ(map.centimorgans, (std::vector<double>{0.5, 1.5}));
}

}  // namespace
}  // namespace snp
