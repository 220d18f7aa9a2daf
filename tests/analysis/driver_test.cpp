#include "analysis/driver.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

using test::CapturedContext;
using test::ScratchDir;

// Marker-naming files for chromosomes of 30 markers each, SNP names
// "rs<chromosome>_<locus>".
void write_naming_files(const ScratchDir& dir) {
  std::string lengths;
  for (int c = 1; c <= 26; ++c) lengths += "30 ";
  dir.write("Chromosome_SNP_Length.txt", lengths + "\n");
  std::filesystem::create_directory(dir.file("cc555k_map"));
  for (int c = 1; c <= 3; ++c) {
    std::string names;
    for (int l = 1; l <= 30; ++l)
      names += "x y rs" + std::to_string(c) + "_" + std::to_string(l) + " a b c d e\n";
    dir.write("cc555k_map/cc555k_chr" + std::to_string(c) + ".snps", names);
  }
}

TEST(AnalysisDriver, NamesAtMostFiftyMarkersAndNeverReadsPastTheRow) {
  ScratchDir dir;
  write_naming_files(dir);
  CapturedContext c(dir);
  c.ctx.naming.Datapath = dir.path() + "/";
  AnalysisInput input;
  input.columns.push_back({});
  for (int m = 0; m < 70; ++m) input.columns[0].push_back(m);
  c.ctx.driver.nm = 80;
  show_first_markers(c.ctx, input);
  const std::string shown = c.console.str();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 50);
  EXPECT_EQ(shown.substr(0, shown.find('\n') + 1), "i=0\t marker=0\t name = rs1_1\t chr 1\t locus1\n");
  EXPECT_NE(shown.find("i=49\t marker=49\t name = rs2_20\t chr 2\t locus20\n"), std::string::npos);

  c.console.str("");
  c.ctx.driver.nm = 20;
  input.columns[0].resize(3);
  show_first_markers(c.ctx, input);
  const std::string few = c.console.str();
  EXPECT_EQ(std::count(few.begin(), few.end(), '\n'), 3);
}

TEST(AnalysisDriver, RepeatedAnalysesLeaveNumberedReportCopies) {
  ScratchDir dir;
  CapturedContext c(dir);
  c.ctx.driver.missingrepeat = 3;
  int calls = 0;
  const AnalysisRun analysis = [&](AnalysisContext& ctx, const AnalysisInput&) {
    ++calls;
    dir.write("Final_result.txt", "final " + std::to_string(calls) + "\n");
    dir.write("P_value.txt", "  p " + std::to_string(calls) + "\n");
    ctx.out() << "analysis\n";
    return std::vector<int>{};
  };
  missingdatatest(c.ctx, AnalysisInput{}, analysis);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(c.console.str(), "repeat=1\npermutation=200\ni=2\nanalysis\ni=1\nanalysis\ni=0\nanalysis\n");
  EXPECT_EQ(dir.read("Final_result3.txt"), "final 1\n");
  EXPECT_EQ(dir.read("Final_result1.txt"), "final 3\n");
  EXPECT_EQ(dir.read("P_value2.txt"), "p 2\n");  // copies start at the first non-blank byte

  c.ctx.driver.missingrepeat = 0;
  missingdatatest(c.ctx, AnalysisInput{}, analysis);
  EXPECT_EQ(calls, 3);
}

TEST(AnalysisDriver, FilecopyStopsAtA0xFFByteAndNeedsItsSource) {
  ScratchDir dir;
  dir.write("source.txt", "\n\t abc\ndef\xff" "ghi");
  filecopy(dir.file("source.txt"), dir.file("target.txt"));
  EXPECT_EQ(dir.read("target.txt"), "abc\ndef");
  try {
    filecopy(dir.file("absent.txt"), dir.file("target.txt"));
    FAIL() << "no error";
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "Don't find file " + dir.file("absent.txt") + "\n");
    EXPECT_EQ(e.exit_status(), 1);
  }
}

TEST(AnalysisDriver, MainRunsOneSearchWithTheHostNamePrefix) {
  ScratchDir dir;
  write_naming_files(dir);
  dir.write("parameter.txt",
            "Sample_size 6\nNumber_of_markers 2\nHow_many_imputation_to_deal_with_missing 1\nBest_m 0\n");
  CapturedContext c(dir);
  c.ctx.naming.Datapath = dir.path() + "/";
  const auto input = test::one_data_set({{0, 1}, {1, 1}, {2, 0}, {0, -1}, {1, 2}, {2, 2}}, {1, 0, 1, 0, 1, 0});
  const auto markers = main_elas3(c.ctx, input);
  EXPECT_TRUE(markers.empty());

  std::string host(256, '\0');
  ASSERT_EQ(::gethostname(host.data(), host.size()), 0);
  host.resize(std::strlen(host.c_str()));
  EXPECT_EQ(c.ctx.hostname, host);
  EXPECT_TRUE(dir.exists(host + "output_X_Y.txt"));
  const std::string console = c.console.str();
  EXPECT_EQ(console.substr(0, console.find("test_method")),
            "i=0\t marker=0\t name = rs1_1\t chr 1\t locus1\ni=1\t marker=1\t name = rs1_2\t chr 1\t locus2\n");
  EXPECT_EQ(c.ctx.driver.ns, 6);
  EXPECT_EQ(c.ctx.driver.missingrepeat, 1);
}

}  // namespace
}  // namespace snp
