#include "input/reference_panel.h"

#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"

namespace snp {
namespace {

using test::TempDir;

std::string read_panel_error(const std::string& hap, int markers, int haplotypes) {
  TempDir dir;
  dir.write("h.hap", hap);
  CodeMatrix panel(haplotypes, markers);
  std::ostringstream console;
  try {
    readpopulationdata(dir.file("h.hap"), panel, markers, haplotypes, console);
  } catch (const FatalError& e) {
    std::string text = e.what();
    const auto at = text.find(dir.path());
    if (at != std::string::npos) text.replace(at, dir.path().size(), "DIR");
    return text;
  }
  return "no error";
}

TEST(ReferencePanel, CodesAndProgressLines) {
  TempDir dir;
  dir.write("h.hap", "0 1 ? 1\n1 1 0 0 \r\n");
  CodeMatrix panel(2, 4);
  std::ostringstream console;
  readpopulationdata(dir.file("h.hap"), panel, 4, 2, console);
  EXPECT_EQ(panel(0, 0), 0);
  EXPECT_EQ(panel(0, 1), 1);
  EXPECT_EQ(panel(0, 2), -1);
  EXPECT_EQ(panel(0, 3), 1);
  EXPECT_EQ(panel(1, 3), 0);
  EXPECT_EQ(console.str(), "read data=0\n");
}

TEST(ReferencePanel, BadFilesStopWithClearMessages) {
  EXPECT_EQ(read_panel_error("0 1 x 1\n", 4, 1),
            "\n find error at reading population data chromsome i=0 allele j=2 x asc code=120\n");
  EXPECT_EQ(read_panel_error("0 1 1\n", 4, 1), "Error: line 1 of DIR/h.hap: expected 4 allele codes, found 3\n");
  EXPECT_EQ(read_panel_error("0 1 1 1\n", 4, 2), "Error: line 2 of DIR/h.hap: expected 2 haplotype lines, found 1\n");
  EXPECT_EQ(read_panel_error("0 1 1 1 0 0\n", 4, 1),
            "Error: line 1 of DIR/h.hap: expected at most 10 characters, found 11\n");
  CodeMatrix panel(1, 1);
  std::ostringstream console;
  try {
    readpopulationdata("/nonexistent/h.hap", panel, 1, 1, console);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "find error for /nonexistent/h.hap \n");
    EXPECT_EQ(e.channel(), Channel::standard_output);
    EXPECT_EQ(e.problem(), InputProblem::cannot_open);
  }
}

TEST(ReferencePanel, MapRecordsWithSeparateOrAdjacentLetters) {
  TempDir dir;
  dir.write("r.map", "a b c d\nrs123 1000 A G\nrs_with_a_very_long_name_beyond_twenty 2000 CT\n");
  std::ostringstream console;
  RunContext ctx;
  ctx.console = &console;
  ctx.config.population_marker = 2;
  ctx.config.path_hapmap_datadirectory = dir.path() + "/";
  ctx.config.path_hapmap_data_mapfile = "r.map";
  ctx.data.position_SNP = {0, 1};
  read_hapmap_data_SNP_name(ctx);
  EXPECT_EQ(ctx.data.population_data_SNP[0], "rs123");
  EXPECT_EQ(ctx.data.position_SNP[0], 1000);
  EXPECT_EQ(ctx.data.allele_name[0], (AllelePair{'A', 'G'}));
  EXPECT_EQ(ctx.data.population_data_SNP[1], "rs_with_a_very_long_name_beyond_twenty");
  EXPECT_EQ(ctx.data.allele_name[1], (AllelePair{'C', 'T'}));

  dir.write("r.map", "a b c d\nrs1 100 A G\n");
  EXPECT_THROW(read_hapmap_data_SNP_name(ctx), InputError);  // one record short
  dir.write("r.map", "a b c d\nrs1 100 A G\nrs2 1e5 A G\n");
  try {
    read_hapmap_data_SNP_name(ctx);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "Error: line 3 of " + dir.path() +
                                         "/r.map: expected an integer position for marker rs2, found \"1e5\"\n");
  }
}

}  // namespace
}  // namespace snp
