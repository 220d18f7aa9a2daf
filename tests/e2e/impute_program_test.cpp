// Runs the snp-impute program on small committed or generated inputs.
#include <gtest/gtest.h>

#include <regex>

#include "test_support.h"

namespace snp {
namespace {

using test::ProgramRun;
using test::TempDir;
using test::TinyStudy;

ProgramRun impute(const std::vector<std::string>& args, const std::string& cwd) {
  return test::run_program(SNP_IMPUTE_BIN, args, cwd);
}

// Timing lines depend on the clock; blank out their numbers.
std::string without_times(const std::string& out) {
  return std::regex_replace(out, std::regex("time =[0-9]+"), "time =T");
}

// A panel of `markers` reference markers, every third one on the chip.
TinyStudy striped_study(int markers) {
  TinyStudy s;
  s.haplotypes.assign(4, "");
  for (int j = 0; j < markers; ++j) {
    s.ref_names.push_back("rs" + std::to_string(j));
    s.ref_letters.push_back("AG");
    for (int h = 0; h < 4; ++h) s.haplotypes[h] += static_cast<char>('0' + ((h + j) % 3 == 0));
  }
  s.cases.assign(2, "");
  s.controls.assign(1, "");
  for (int j = 0; j < markers; j += 3) {
    s.study_names.push_back("rs" + std::to_string(j));
    s.study_letters.push_back("AG");
    for (auto& g : s.cases) g += "AG";
    s.controls[0] += "GG";
  }
  return s;
}

TEST(ImputeProgram, WholeConsoleOutputOfARange) {
  TempDir dir;
  const TinyStudy s = striped_study(330);
  s.write(dir, "first 150\nlast 320\n");
  const ProgramRun run = impute({"parameter.txt"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string d = dir.path();
  EXPECT_EQ(without_times(run.out),
            "7\n330\n4\n110\n2\n1\n0.33\n"
            "Path_reference_datadirectory=" + d + "/\nPath_study_datadirectory=" + d + "/\n"
            "Reference_data_file=hapmap.hap\nReference_data_mapfile=hapmap.map\nDisease_data_file=disease.geno\n"
            "Disease_data_mapfile=disease.map\nNormal_data_file=normal.geno\nNormal_data_mapfile=normal.map\n"
            "Imputation_result_data_file=" + d + "/imputation_results.txt\n150\n320\n\n"
            "read data=0\n"
            "read chromosome 7 maximum Allele Letter and minimum Allele Letter information\n"
            "read chromosome 7 maximum Allele Letter and minimum Allele Letter information\n"
            "read data finish\n"
            "different_big=110\n"
            "150\n200\n300\n"
            "read data time =T\ntotal time =T\n");
}

TEST(ImputeProgram, EmptyRangeCreatesAnEmptyResultFile) {
  TempDir dir;
  striped_study(30).write(dir, "first 20\nlast 10\n");
  const ProgramRun run = impute({}, dir.path());  // default parameter.txt
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("read data time ="), std::string::npos);
  EXPECT_NE(run.out.find("total time ="), std::string::npos);
  EXPECT_EQ(dir.read("imputation_results.txt"), "");
}

struct FailureCase {
  const char* name;
  const char* remove;       // data file to delete, or ""
  const char* extra;        // extra parameter text
  const char* expected;     // message, DIR standing for the data directory
  bool on_stdout;
};

TEST(ImputeProgram, FatalInputErrorsEndWithStatusOne) {
  const FailureCase cases[] = {
      {"panel", "hapmap.hap", "", "find error for DIR/hapmap.hap \n", true},
      {"reference map", "hapmap.map", "", "file open DIR/hapmap.map have error\n", true},
      {"study map", "normal.map", "", "file open DIR/normal.map have error\n", true},
      {"case genotypes", "disease.geno", "", "open file DIR/disease.geno have some error\n", true},
      {"control genotypes", "normal.geno", "", "open file DIR/normal.geno have some error\n", true},
      {"result directory", "", "", "Error: DIR/missing/out.txt: cannot create the result file (No such file or directory)\n",
       false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    TinyStudy s = striped_study(12);
    s.write(dir);
    if (std::string(c.name) == "result directory")
      dir.write("parameter.txt", std::regex_replace(s.parameter_text(dir.path()), std::regex("result .*"),
                                                    "result " + dir.path() + "/missing/out.txt"));
    if (*c.remove) std::remove(dir.file(c.remove).c_str());
    const ProgramRun run = impute({"parameter.txt"}, dir.path());
    EXPECT_EQ(run.status, 1) << c.name;
    const std::string expected = std::regex_replace(c.expected, std::regex("DIR"), dir.path());
    const std::string& stream = c.on_stdout ? run.out : run.err;
    ASSERT_GE(stream.size(), expected.size()) << c.name;
    EXPECT_EQ(stream.substr(stream.size() - expected.size()), expected) << c.name;
  }
}

TEST(ImputeProgram, MissingParameterFileFallsBackToDefaults) {
  TempDir dir;
  const ProgramRun run = impute({"absent.txt"}, dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.rfind(" find error when open parameter file,using default parameter\n7\n143232\n", 0), 0u);
  EXPECT_NE(run.out.find("find error for ./hapmap.hap \n"), std::string::npos);
}

TEST(ImputeProgram, CommandLine) {
  TempDir dir;
  const ProgramRun help = impute({"--help"}, dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: snp-impute [PARAMFILE]"), std::string::npos);
  const ProgramRun bad = impute({"--fast"}, dir.path());
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.rfind("Error: unknown option --fast\n", 0), 0u);
  TinyStudy s = striped_study(12);
  s.write(dir);
  dir.write("parameter.txt", s.parameter_text(dir.path()) + "first 1\nlast 0\n");
  dir.write("bad.txt", "chr 7\npm -5\n");
  const ProgramRun counts = impute({"bad.txt"}, dir.path());
  EXPECT_EQ(counts.status, 1);
  EXPECT_EQ(counts.err, "Error: bad.txt: population_marker must be at least 1, found -5\n");
}

TEST(ImputeProgram, ExampleDataSet) {
  TempDir dir;
  const std::string examples = std::string(SNP_SOURCE_DIR) + "/examples";
  std::string params = test::read_text(examples + "/parameter.txt");
  params = std::regex_replace(params, std::regex("\\./examples"), examples);
  params = std::regex_replace(params, std::regex("imputation_results.txt"), dir.file("out.txt"));
  dir.write("parameter.txt", params);
  const ProgramRun run = impute({"parameter.txt"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("read data finish\ndifferent_big="), std::string::npos);
}

}  // namespace
}  // namespace snp
