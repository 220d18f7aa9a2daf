// The snp-screen program end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using snp::test::ProgramRun;
using snp::test::run_program;
using snp::test::TempDir;

struct Study {
  TempDir dir;
  Study() {
    // Six cases and six controls; marker 1 follows the status.
    std::string text;
    for (int i = 0; i < 12; ++i) text += i < 6 ? "1 0 2 1\n" : "0 1 0 1\n";
    dir.write("CaseAndControlData.txt", text);
    dir.write("Chromosome_SNP_Length.txt", "2 1 0 0 0 0 0 0 0 1 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
  }
  ProgramRun run(std::vector<std::string> extra = {}) const {
    std::vector<std::string> args = {"--data-dir", dir.path(), "--names-dir=" + dir.path(), "--markers", "3",
                                     "--cases", "6", "--controls=6"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_program(SNP_SCREEN_BIN, args, dir.path());
  }
};

TEST(ScreenProgram, ScreensTheDataFileAndWritesTheSelection) {
  Study study;
  const ProgramRun run = study.run();
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out.rfind("read data is finished\n", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("model=additive  # of marker's pvalue<0.002=1\n"), std::string::npos) << run.out;
  const std::string result = study.dir.read("FDR_results.txt");
  EXPECT_NE(result.find("model=additive  # of satisfy FDR marker, i. e.  len=2\n"
                        "FDR find Marker=1\t i.e. chr=1\t locus=2\t pvalue="),
            std::string::npos)
      << result;
  EXPECT_NE(result.find("model=minimum   # of satisfy FDR marker, i. e.  len=2\n"), std::string::npos);
  // Every line of the file is also on standard output.
  EXPECT_NE(run.out.find(result), std::string::npos);
  EXPECT_EQ(run.err, "");
}

TEST(ScreenProgram, BadFilesEndWithStatusOneAndTheirMessage) {
  Study study;
  ProgramRun run = study.run({"--samples", "13"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("CaseAndControlData.txt: expected 13 lines (one per individual), found 12"),
            std::string::npos)
      << run.err;
  std::filesystem::create_directory(study.dir.file("FDR_results.txt"));
  run = study.run();
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("find error to open FDR_results.txt\n"), std::string::npos) << run.out;
  std::filesystem::remove(study.dir.file("CaseAndControlData.txt"));
  run = study.run();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "file open " + study.dir.path() + "/CaseAndControlData.txt not good\n");
}

TEST(ScreenProgram, OptionsAreChecked) {
  Study study;
  const ProgramRun help = run_program(SNP_SCREEN_BIN, {"--help"}, study.dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: snp-screen [options]\n", 0), 0u) << help.out;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"data.txt"}, {"--markers", "0"}, {"--cases", "-1"}, {"--controls", "x"}, {"--markers"}}) {
    const ProgramRun run = run_program(SNP_SCREEN_BIN, args, study.dir.path());
    EXPECT_EQ(run.status, 1) << args[0];
    EXPECT_EQ(run.err.rfind("Error: ", 0), 0u) << run.err;
    EXPECT_FALSE(std::filesystem::exists(study.dir.file("FDR_results.txt")));
  }
}

}  // namespace
