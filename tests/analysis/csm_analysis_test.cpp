// The csm-analysis program run on the example data and on bad input files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <regex>

#include "scratch_dir.h"

namespace snp {
namespace {

using test::read_file;
using test::ScratchDir;

const std::string kExample = std::string(ANALYSIS_DATA_DIR) + "/csm";

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs csm-analysis in `dir` with `arguments`.
Outcome run_program(const ScratchDir& dir, const std::string& arguments) {
  const std::string command = "cd '" + dir.path() + "' && '" + CSM_ANALYSIS_BIN + "' " + arguments +
                              " > console.txt 2> errors.txt";
  const int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.out = dir.read("console.txt");
  outcome.err = dir.read("errors.txt");
  return outcome;
}

std::string example_files(const std::string& directory) {
  return "--genotypes " + directory + "/genotypes.txt --phenotypes " + directory + "/phenotypes.txt --columns " +
         directory + "/columns.txt --data-dir " + directory;
}

TEST(AnalysisCsmProgram, TheExampleFindsTheInteractingPairAndTheMainEffect) {
  ScratchDir dir;
  // Four of the example's permutations keep the run short.
  std::string parameters = std::regex_replace(read_file(kExample + "/parameter.txt"),
                                              std::regex("Number_of_permutation\\s+\\d+"),
                                              "Number_of_permutation\t4");
  dir.write("parameter.txt", parameters);
  const Outcome run = run_program(dir, example_files(kExample));
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string last_line = run.out.substr(run.out.rfind("Final markers:"));
  for (const char* marker : {" 3", " 7", " 10"}) EXPECT_NE(last_line.find(marker), std::string::npos) << last_line;
  EXPECT_EQ(dir.read("P_value.txt").rfind("P-value information\n===================\nOverall P-value=0\n", 0), 0u);
  const std::string report = dir.read("Final_result.txt");
  EXPECT_EQ(report.rfind(parameters, 0), 0u);
  EXPECT_NE(report.find("\nMarkers\t 3,7\n"), std::string::npos);
  EXPECT_NE(report.find("\nMarker\t 10\n"), std::string::npos);
}

TEST(AnalysisCsmProgram, RepeatedAnalysesLeaveNumberedReports) {
  ScratchDir dir;
  dir.write("parameter.txt",
            "Sample_size 4\nNumber_of_markers 2\nHow_many_imputation_to_deal_with_missing 2\nBest_m 0\n");
  dir.write("g.txt", "0 1\n0 2\n-1 1\n0 2\n");
  dir.write("p.txt", "1 0 1 0\n");
  dir.write("c.txt", "0 1\n");
  const Outcome run = run_program(
      dir, "--genotypes g.txt --phenotypes p.txt --columns c.txt --data-dir " + kExample);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(run.out.rfind("Final markers:")), "Final markers:\n");
  for (const char* name : {"Final_result1.txt", "Final_result2.txt", "P_value1.txt", "P_value2.txt"})
    EXPECT_TRUE(dir.exists(name)) << name;
}

TEST(AnalysisCsmProgram, BadInputFilesAreNamedWithTheirLine) {
  ScratchDir dir;
  dir.write("parameter.txt", "Sample_size 4\nNumber_of_markers 2\nHow_many_imputation_to_deal_with_missing 1\n");
  dir.write("g.txt", "0 1\n0 2\n-1 1\n0 2\n");
  dir.write("bad_g.txt", "0 1\n0 3\n");
  dir.write("p.txt", "1 0 1 0\n");
  dir.write("short_p.txt", "1 0 1\n");
  dir.write("c.txt", "0 1\n");
  dir.write("wide_c.txt", "0 5\n");
  dir.write("three_c.txt", "0 1 1\n");
  const struct {
    std::string arguments;
    std::string error;
  } cases[] = {
      {"--genotypes bad_g.txt --phenotypes p.txt --columns c.txt",
       "Error: line 2 of bad_g.txt: expected a genotype code -1, 0, 1 or 2, found \"3\"\n"},
      {"--genotypes g.txt --phenotypes short_p.txt --columns c.txt",
       "Error: line 1 of short_p.txt: expected 4 phenotypes (one per individual of g.txt), found 3\n"},
      {"--genotypes g.txt --phenotypes p.txt --columns wide_c.txt",
       "Error: line 1 of wide_c.txt: expected a genotype column 0..1, found \"5\"\n"},
      {"--genotypes g.txt --phenotypes p.txt --columns three_c.txt",
       "Error: three_c.txt: expected Number_of_markers = 2 columns (from parameter.txt), found 3\n"},
      {"--genotypes absent.txt --phenotypes p.txt --columns c.txt", "Error: cannot open absent.txt\n"},
  };
  for (const auto& c : cases) {
    const Outcome run = run_program(dir, c.arguments);
    EXPECT_EQ(run.status, 1) << c.arguments;
    EXPECT_EQ(run.err, c.error);
  }
  const Outcome usage = run_program(dir, "--genotypes g.txt --phenotypes p.txt");
  EXPECT_EQ(usage.status, 1);
  EXPECT_EQ(usage.err.rfind("Error: missing --columns\nRun csm-analysis --help", 0), 0u);
}

}  // namespace
}  // namespace snp
