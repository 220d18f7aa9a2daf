#include "analysis/run/driver.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/state/work_lock.h"
#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

using test::CapturedContext;
using test::ScratchDir;

// Chromosomes of 30 markers each, SNP names "rs<chromosome>_<locus>".
void write_naming_files(const ScratchDir& dir) {
  std::string lengths;
  for (int c = 1; c <= 26; ++c) lengths += "30 ";
  dir.write("Chromosome_SNP_Length.txt", lengths + "\n");
  std::filesystem::create_directory(dir.file("cc555k_map"));
  for (int c = 1; c <= 2; ++c) {
    std::string names;
    for (int l = 1; l <= 30; ++l) names += "x y rs" + std::to_string(c) + "_" + std::to_string(l) + " a\n";
    dir.write("cc555k_map/cc555k_chr" + std::to_string(c) + ".snps", names);
  }
}

TEST(AnalysisWorkFiles, FilecopyStartsAtTheFirstNonBlankByteAndStopsAtA0xFFByte) {
  ScratchDir dir;
  dir.write("source.txt", "\n\t abc\ndef\xff" "ghi");
  filecopy(dir.file("source.txt"), dir.file("target.txt"));
  EXPECT_EQ(dir.read("target.txt"), "abc\ndef");
  try {
    filecopy(dir.file("absent.txt"), dir.file("target.txt"));
    FAIL() << "no error";
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "Don't find file " + dir.file("absent.txt") + "\n");
  }
}

TEST(AnalysisWorkFiles, OneRunHoldsTheWorkDirectoryAndLeavesNoLockFileBehind) {
  ScratchDir dir;
  {
    const WorkDirectoryLock held(dir.path());
    EXPECT_TRUE(dir.exists(kLockFile));
    EXPECT_THROW(WorkDirectoryLock{dir.path()}, FatalError);
  }
  EXPECT_FALSE(dir.exists(kLockFile));
  const WorkDirectoryLock again(dir.path());
  EXPECT_TRUE(dir.exists(kLockFile));
}

// Six individuals, two markers; markers 0 and 1 of chromosome 1 name them.
AnalysisInput small_input() {
  return test::one_data_set({{0, 1}, {1, 1}, {2, 0}, {0, -1}, {1, 2}, {2, 2}}, {1, 0, 1, 0, 1, 0});
}

// A work directory with the marker-name files and `parameters`, and a
// context working there.
struct DriverRun {
  explicit DriverRun(const std::string& parameters) {
    write_naming_files(dir);
    dir.write("parameter.txt", parameters);
    c.ctx.naming.Datapath = dir.path() + "/";
  }
  ScratchDir dir;
  CapturedContext c{dir};
};

TEST(AnalysisDriver, OneAnalysisUsesTheHostNamePrefixAndShowsTheNotesTwice) {
  DriverRun run("Sample_size 6\nNumber_of_markers 2\nHow_many_imputation_to_deal_with_missing 1\nZz 1\n");
  const ScratchDir& dir = run.dir;
  CapturedContext& c = run.c;
  EXPECT_TRUE(main_elas3(c.ctx, small_input()).empty());
  EXPECT_EQ(c.ctx.hostname, host_name());
  EXPECT_TRUE(dir.exists(host_name() + "output_X_Y.txt"));
  const std::string note = "Find error,needless parameter! parametername=Zz parametervalue=1.000000 k=4\n";
  const std::string console = c.console.str();
  // The driver's reading, the marker names, then the search's reading.
  EXPECT_EQ(console.substr(0, console.find("test_method")),
            note + "i=0\t marker=0\t name = rs1_1\t chr 1\t locus1\ni=1\t marker=1\t name = rs1_2\t chr 1\t locus2\n" +
                note);
}

TEST(AnalysisDriver, RepeatedAnalysesKeepNumberedReportsAndNameTheSearchOnce) {
  DriverRun run("Sample_size 6\nNumber_of_markers 2\nHow_many_imputation_to_deal_with_missing 2\n");
  const ScratchDir& dir = run.dir;
  CapturedContext& c = run.c;
  EXPECT_TRUE(main_elas3(c.ctx, small_input()).empty());
  for (const char* name : {"Final_result1.txt", "Final_result2.txt", "P_value1.txt", "P_value2.txt"})
    EXPECT_EQ(dir.read(name), dir.read(std::string(name).substr(0, std::string(name).find_first_of("12")) + ".txt"))
        << name;
  const std::string console = c.console.str();
  EXPECT_NE(console.find("locus2\nrepeat=1\npermutation=200\ni=1\n"), std::string::npos);
  EXPECT_EQ(console.find("test_method"), console.rfind("test_method"));
  EXPECT_EQ(c.ctx.counters.permutation, 0);
}

}  // namespace
}  // namespace snp
