// Runs the snp-impute program on small committed or generated inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <regex>
#include <sstream>

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
  EXPECT_NE(help.out.find("Usage: snp-impute [OPTIONS] [PARAMFILE]"), std::string::npos);
  const ProgramRun bad = impute({"--fast"}, dir.path());
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.rfind("Error: unknown option --fast\n", 0), 0u);
  EXPECT_EQ(impute({"--vcf-out"}, dir.path()).err.rfind("Error: option --vcf-out needs a value\n", 0), 0u);
  EXPECT_EQ(impute({"--engine=slow"}, dir.path()).status, 1);
  TinyStudy s = striped_study(12);
  s.write(dir);
  dir.write("parameter.txt", s.parameter_text(dir.path()) + "first 1\nlast 0\n");
  dir.write("bad.txt", "chr 7\npm -5\n");
  const ProgramRun counts = impute({"bad.txt"}, dir.path());
  EXPECT_EQ(counts.status, 1);
  EXPECT_EQ(counts.err, "Error: bad.txt: population_marker must be at least 1, found -5\n");
}

// The committed parameter file of a data directory, pointed at that
// directory, with the result file in `out_dir` and an optional range.
std::string committed_parameters(const std::string& data_dir, const std::string& placeholder, const TempDir& out_dir,
                                 const std::string& range = "") {
  std::string params = test::read_text(data_dir + "/parameter.txt");
  params = std::regex_replace(params, std::regex(placeholder), data_dir);
  params = std::regex_replace(params, std::regex("imputation_results.txt"), out_dir.file("out.txt"));
  if (!range.empty()) params = std::regex_replace(params, std::regex("first_marker[^]*"), range);
  return params;
}

TEST(ImputeProgram, SmallDataSetWholeResultFile) {
  TempDir dir;
  const std::string data = std::string(SNP_SOURCE_DIR) + "/tests/data/small";
  dir.write("parameter.txt", committed_parameters(data, "DATA", dir));
  const ProgramRun run = impute({"parameter.txt"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(dir.read("out.txt"), test::read_text(data + "/expected_results.txt"));
  std::string expected_out = test::read_text(data + "/expected_stdout.txt");
  expected_out = std::regex_replace(expected_out, std::regex("DATA/"), data + "/");
  expected_out = std::regex_replace(expected_out, std::regex("imputation_results.txt"), dir.file("out.txt"));
  EXPECT_EQ(without_times(run.out), expected_out);
}

TEST(ImputeProgram, ProbabilitiesFileLeavesResultAndConsoleAlone) {
  TempDir dir;
  const std::string data = std::string(SNP_SOURCE_DIR) + "/tests/data/small";
  dir.write("parameter.txt", committed_parameters(data, "DATA", dir));
  const ProgramRun plain = impute({"parameter.txt"}, dir.path());
  const std::string result = dir.read("out.txt");
  const ProgramRun with = impute({"--probabilities", "p.txt", "parameter.txt"}, dir.path());
  ASSERT_EQ(with.status, 0) << with.err;
  EXPECT_EQ(dir.read("out.txt"), result);
  EXPECT_EQ(without_times(with.out), without_times(plain.out));

  // Same layout as the result file, three probabilities (summing to 1) or
  // "NA NA NA" per individual; an untyped call is the most probable code.
  const std::string study_map = test::read_text(data + "/normal.map");
  std::istringstream results(result), probabilities(dir.read("p.txt"));
  std::string result_line, probability_line;
  int lines = 0;
  while (std::getline(results, result_line) && std::getline(probabilities, probability_line)) {
    ++lines;
    std::istringstream r(result_line), p(probability_line);
    std::string field, name;
    r >> field >> name;
    const bool typed = study_map.find(" " + name + " ") != std::string::npos;
    for (int k = 0; k < 5; ++k) p >> field;
    for (int k = 0; k < 3; ++k) r >> field;
    int code;
    while (r >> code) {
      std::string a, b, c;
      ASSERT_TRUE(p >> a >> b >> c) << probability_line;
      if (a == "NA") {
        EXPECT_TRUE(b == "NA" && c == "NA");
        continue;
      }
      const double p0 = std::stod(a), p1 = std::stod(b), p2 = std::stod(c);
      EXPECT_NEAR(p0 + p1 + p2, 1.0, 2e-4);
      if (!typed && code >= 0) {
        EXPECT_EQ(std::max({p0, p1, p2}), std::vector<double>({p0, p1, p2})[static_cast<size_t>(code)]) << name;
      }
    }
  }
  EXPECT_EQ(lines, 40);
  EXPECT_EQ(impute({"--engine=reference", "--probabilities", "p.txt", "parameter.txt"}, dir.path()).status, 1);
  const ProgramRun no_vcf = impute({"--vcf-out", "missing/out.vcf.gz", "parameter.txt"}, dir.path());
  EXPECT_EQ(no_vcf.status, 1);
  EXPECT_NE(no_vcf.err.find("Error: missing/out.vcf.gz: cannot create the VCF file"), std::string::npos) << no_vcf.err;
}

TEST(ImputeProgram, ExampleDataSet) {
  TempDir dir;
  const std::string examples = std::string(SNP_SOURCE_DIR) + "/examples";
  dir.write("parameter.txt", committed_parameters(examples, "\\./examples", dir, "first 1001\nlast 1100\n"));
  const ProgramRun run = impute({"parameter.txt"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("read data finish\ndifferent_big="), std::string::npos);
  const std::string result = dir.read("out.txt");
  EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 100);
  EXPECT_EQ(result.rfind("1001\trs1001001 ", 0), 0u);
}

TEST(ImputeProgram, AWriteErrorOnTheResultFileFailsTheRun) {
  TempDir dir;
  TinyStudy s = striped_study(12);
  s.write(dir);
  dir.write("parameter.txt", std::regex_replace(s.parameter_text(dir.path()), std::regex("result .*"), "result /dev/full"));
  const ProgramRun run = impute({"parameter.txt"}, dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error: /dev/full: cannot write the result file"), std::string::npos);
}

TEST(ImputeProgram, TooFewTypedMarkersIsAnError) {
  TempDir dir;
  TinyStudy s = striped_study(4);  // typed markers rs0 and rs3; drop one
  s.study_names.pop_back();
  s.study_letters.pop_back();
  for (auto& g : s.cases) g.resize(2);
  s.controls[0].resize(2);
  s.write(dir);
  const ProgramRun run = impute({"parameter.txt"}, dir.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error: 1 usable typed markers"), std::string::npos);
}

TEST(ImputeProgram, RandomDataAndGenotypeExport) {
  TempDir dir;
  dir.write("p.txt", "a 7 b 40 c 6 d 12 e 3 f 2 g 0.33\n");
  const ProgramRun random = impute({"--random-data", "p.txt"}, dir.path());
  ASSERT_EQ(random.status, 0) << random.err;
  const std::string result = dir.read("imputation_results.txt");
  EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 40);
  // Same sizes, same data: a second run gives the same file.
  ASSERT_EQ(impute({"--random-data", "p.txt"}, dir.path()).status, 0);
  EXPECT_EQ(dir.read("imputation_results.txt"), result);

  const ProgramRun exported = impute({"--random-data", "--export-genotypes", "p.txt"}, dir.path());
  ASSERT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.out.find("total time"), std::string::npos);
  const std::string text = dir.read("als_trans_genotype_2999.txt");
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    // "SNPi name position l0 l1 " then 3 indicator columns for each of 5 samples.
    std::istringstream fields(line);
    std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
    EXPECT_EQ(f.size(), 5u + 15u) << line;
    EXPECT_EQ(line.back(), ' ');
  }
}

}  // namespace
}  // namespace snp
