// snp-impute on damaged inputs, end to end. A fatal case ends with status 1
// and a message that names the file and, where there is one, the line; no
// case crashes or hangs (standard input closed, a timeout); damage the
// formats allow (CRLF line ends, letters past the last marker) gives the
// same result file as the clean data.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "damaged_files.h"
#include "test_support.h"

namespace snp {
namespace {

using test::ProgramRun;
using test::TempDir;
using test::TinyStudy;
namespace damage = test::damage;

constexpr int kTimeoutSeconds = 60;

// 30 reference markers on 4 haplotypes, every third one on the chip (10
// study markers), 2 cases and 1 control.
TinyStudy study() {
  TinyStudy s;
  s.haplotypes.assign(4, "");
  for (int j = 0; j < 30; ++j) {
    s.ref_names.push_back("rs" + std::to_string(j));
    s.ref_letters.push_back("AG");
    for (int h = 0; h < 4; ++h) s.haplotypes[h] += static_cast<char>('0' + ((h + j) % 3 == 0));
  }
  s.cases.assign(2, "");
  s.controls.assign(1, "");
  for (int j = 0; j < 30; j += 3) {
    s.study_names.push_back("rs" + std::to_string(j));
    s.study_letters.push_back("AG");
    s.cases[0] += "AG";
    s.cases[1] += j % 2 ? "GG" : "AA";
    s.controls[0] += "GG";
  }
  return s;
}

// The study written into a fresh directory, ready to be damaged and run.
class DataSet {
 public:
  DataSet() { s_.write(dir_); }
  const TempDir& dir() const { return dir_; }
  std::string read(const std::string& name) const { return dir_.read(name); }
  void write(const std::string& name, const std::string& text) const { dir_.write(name, text); }
  void remove(const std::string& name) const { std::filesystem::remove(dir_.file(name)); }
  // Parameter line `line` (1 to 16, as TinyStudy writes them) replaced.
  void set_parameter_line(int line, const std::string& text) const {
    write("parameter.txt", damage::with_line(read("parameter.txt"), line, text));
  }
  ProgramRun run() const { return test::run_program(SNP_IMPUTE_BIN, {"parameter.txt"}, dir_.path(), kTimeoutSeconds); }
  std::string result() const { return read("imputation_results.txt"); }
  // "DIR" in `text` stands for the data directory.
  std::string expand(const std::string& text) const { return std::regex_replace(text, std::regex("DIR"), dir_.path()); }

 private:
  TempDir dir_;
  TinyStudy s_ = study();
};

enum class Stream { out, err };

// Status 1 and `message` (DIR for the data directory) as the end of
// `stream`; a message ending in "...\n" is the start of the last line.
void expect_fatal(const DataSet& data, const ProgramRun& run, Stream stream, const std::string& message) {
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  const std::string& text = stream == Stream::out ? run.out : run.err;
  std::string expected = data.expand(message);
  if (expected.ends_with("...\n")) {
    expected.resize(expected.size() - 4);
    const size_t last_line = text.rfind('\n', text.size() - 2);
    EXPECT_EQ(text.compare(last_line == std::string::npos ? 0 : last_line + 1, expected.size(), expected), 0) << text;
    return;
  }
  ASSERT_GE(text.size(), expected.size()) << text;
  EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
}

const std::string& clean_result() {
  static const std::string result = [] {
    DataSet data;
    const ProgramRun run = data.run();
    if (run.status != 0) throw std::runtime_error("the clean data set fails: " + run.err);
    return data.result();
  }();
  return result;
}

// The same result as the clean data set, and a clean exit.
void expect_clean_result(const DataSet& data, const ProgramRun& run) {
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(data.result(), clean_result());
}

struct CountCase {
  int line;
  const char* text;
  const char* message;
};

TEST(DamagedImpute, ImpossibleCountsInTheParameterFile) {
  const CountCase cases[] = {
      {2, "population_marker 0", "Error: parameter.txt: population_marker must be at least 1, found 0\n"},
      {3, "population_sample -4", "Error: parameter.txt: population_sample must be at least 1, found -4\n"},
      {4, "typed_marker 0", "Error: parameter.txt: typed_marker must be at least 1, found 0\n"},
      {5, "ncase -1", "Error: parameter.txt: ncase must be 0 or more, found -1\n"},
      {6, "ncontrol -2147483648", "Error: parameter.txt: ncontrol must be 0 or more, found -2147483648\n"},
      {3, "population_sample 2147483647",
       "Error: parameter.txt: population_sample must be at most 2147483646, found 2147483647\n"},
      {5, "ncase 2000000000\nncontrol 2000000000",
       "Error: parameter.txt: ncase + ncontrol must be from 1 to 2147483646, found 4000000000\n"},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.text);
    DataSet data;
    data.set_parameter_line(c.line, c.text);
    expect_fatal(data, data.run(), Stream::err, c.message);
  }
  DataSet no_individuals;
  no_individuals.set_parameter_line(5, "ncase 0");
  no_individuals.set_parameter_line(6, "ncontrol 0");
  expect_fatal(no_individuals, no_individuals.run(), Stream::err,
               "Error: parameter.txt: ncase + ncontrol must be from 1 to 2147483646, found 0\n");
}

TEST(DamagedImpute, DamagedParameterFile) {
  {
    SCOPED_TRACE("CRLF line ends");
    DataSet data;
    data.write("parameter.txt", damage::crlf(data.read("parameter.txt")));
    expect_clean_result(data, data.run());
  }
  {
    SCOPED_TRACE("a malformed count keeps the defaults from there on");
    DataSet data;
    data.set_parameter_line(6, "ncontrol 1O");
    const ProgramRun run = data.run();
    EXPECT_NE(run.err.find("Warning: line 6 of parameter.txt: value 6 (ncontrol) should be an integer, found \"1O\"; "
                           "it and the values after it keep their defaults\n"),
              std::string::npos)
        << run.err;
    // The default 271 controls are more than ./normal.geno (run in the data
    // directory) holds.
    expect_fatal(data, run, Stream::err, "Error: line 2 of ./normal.geno: expected 271 sample lines, found 1\n");
  }
  {
    SCOPED_TRACE("truncated in the middle of a pair");
    DataSet data;
    data.write("parameter.txt", damage::first_lines(data.read("parameter.txt"), 5) + "ncon");
    expect_fatal(data, data.run(), Stream::err, "Error: line 2 of ./normal.geno: expected 271 sample lines, found 1\n");
  }
}

// Run in a directory without data files, where the default paths lead nowhere.
TEST(DamagedImpute, ParameterFileThatFallsBackToTheDefaults) {
  TempDir dir;
  auto run = [&] { return test::run_program(SNP_IMPUTE_BIN, {"parameter.txt"}, dir.path(), kTimeoutSeconds); };
  for (const auto& [name, text] : {std::pair<const char*, std::string>{"empty", ""},
                                   {"binary", damage::binary(3000)},
                                   {"one over-long word", damage::binary_word(1 << 20)},
                                   {"a threshold out of range of a double", "a 7 b 30 c 4 d 10 e 2 f 1 g 1e999\n"}}) {
    SCOPED_TRACE(name);
    dir.write("parameter.txt", text);
    const ProgramRun r = run();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), size_t{29})), "find error for ./hapmap.hap \n");
    if (std::string(name) == "a threshold out of range of a double") {
      EXPECT_EQ(r.err, "Warning: line 1 of parameter.txt: value 7 (g) should be a decimal number, found \"1e999\"; "
                       "it and the values after it keep their defaults\n");
    }
  }
  std::filesystem::remove(dir.file("parameter.txt"));
  const ProgramRun missing = run();
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out.rfind(" find error when open parameter file,using default parameter\n", 0), 0u) << missing.out;
  EXPECT_EQ(missing.out.substr(missing.out.size() - std::min(missing.out.size(), size_t{29})),
            "find error for ./hapmap.hap \n");
}

TEST(DamagedImpute, UnusableResultPath) {
  {
    SCOPED_TRACE("in a missing directory");
    DataSet data;
    data.set_parameter_line(16, "result DIR/missing/out.txt");
    data.write("parameter.txt", data.expand(data.read("parameter.txt")));
    expect_fatal(data, data.run(), Stream::err,
                 "Error: DIR/missing/out.txt: cannot create the result file (No such file or directory)\n");
  }
  {
    SCOPED_TRACE("a directory");
    DataSet data;
    data.set_parameter_line(16, "result DIR");
    data.write("parameter.txt", data.expand(data.read("parameter.txt")));
    expect_fatal(data, data.run(), Stream::err, "Error: DIR: cannot create the result file (Is a directory)\n");
  }
  {
    SCOPED_TRACE("over-long");
    DataSet data;
    const std::string name(5000, 'r');
    data.set_parameter_line(16, "result " + name);
    expect_fatal(data, data.run(), Stream::err, "Error: " + name + ": cannot create the result file (File name too long)\n");
  }
}

// One data file damaged, or removed.
struct FileCase {
  const char* name;
  std::string (*damaged)(const std::string& clean);  // nullptr: removed
  Stream stream;
  std::string message;
};

void run_file_cases(const char* file, const std::vector<FileCase>& cases) {
  for (const FileCase& c : cases) {
    SCOPED_TRACE(std::string(file) + ": " + c.name);
    DataSet data;
    if (c.damaged)
      data.write(file, c.damaged(data.read(file)));
    else
      data.remove(file);
    expect_fatal(data, data.run(), c.stream, c.message);
  }
}

std::string empty(const std::string&) { return ""; }

TEST(DamagedImpute, ReferenceHaplotypeFile) {
  run_file_cases(
      "hapmap.hap",
      {
          {"missing", nullptr, Stream::out, "find error for DIR/hapmap.hap \n"},
          {"empty", empty, Stream::err, "Error: line 1 of DIR/hapmap.hap: expected 4 haplotype lines, found 0\n"},
          {"truncated", [](const std::string& t) { return damage::truncated(t, 0.6); }, Stream::err,
           "Error: line 3 of DIR/hapmap.hap: expected 30 allele codes, found 12\n"},
          {"one line short", [](const std::string& t) { return damage::first_lines(t, 3); }, Stream::err,
           "Error: line 4 of DIR/hapmap.hap: expected 4 haplotype lines, found 3\n"},
          {"binary", [](const std::string&) { return damage::binary(3000); }, Stream::err,
           "Error: line 1 of DIR/hapmap.hap: expected 30 allele codes, found 5\n"},
          {"over-long line", [](const std::string& t) { return damage::with_line(t, 2, std::string(1 << 20, '1')); },
           Stream::err, "Error: line 2 of DIR/hapmap.hap: expected at most 62 characters, found 1048576\n"},
          {"a code other than 1, 0, ?",
           [](const std::string& t) { return damage::with_line(t, 3, std::string(59, '2')); }, Stream::out,
           // The reader's long-standing message: haplotype i and marker j from 0.
           "\n find error at reading population data chromsome i=2 allele j=0 2 asc code=50\n"},
      });
}

TEST(DamagedImpute, ReferenceMap) {
  run_file_cases(
      "hapmap.map",
      {
          {"missing", nullptr, Stream::out, "file open DIR/hapmap.map have error\n"},
          {"empty", empty, Stream::err,
           "Error: DIR/hapmap.map: expected a header of 4 fields and 30 marker records, found end of file in the "
           "header\n"},
          {"truncated", [](const std::string& t) { return damage::truncated(t, 0.5); }, Stream::err,
           "Error: DIR/hapmap.map: expected 30 marker records, found 14 complete ones\n"},
          {"binary", [](const std::string&) { return damage::binary(3000); }, Stream::err,
           // The binary "name" is quoted in full.
           "Error: line 4 of DIR/hapmap.map: expected an integer position for marker !\"#$%&'()*+,-./0123...\n"},
          {"a malformed position", [](const std::string& t) { return damage::with_line(t, 5, "rs3 4OOO A G"); },
           Stream::err, "Error: line 5 of DIR/hapmap.map: expected an integer position for marker rs3, found \"4OOO\"\n"},
          {"a record without letters (wrong field count)",
           [](const std::string& t) { return damage::with_line(t, 5, "rs3 4000"); }, Stream::err,
           "Error: line 6 of DIR/hapmap.map: expected two allele letters of one character each for marker rs3, found "
           "\"rs4\"\n"},
          {"an over-long position", [](const std::string& t) { return damage::with_line(t, 5, "rs3 " + std::string(100000, '9') + " A G"); },
           Stream::err, "found \"" + std::string(100000, '9') + "\"\n"},
      });
}

TEST(DamagedImpute, StudyMap) {
  run_file_cases("normal.map",
                 {
                     {"missing", nullptr, Stream::out, "file open DIR/normal.map have error\n"},
                     {"empty", empty, Stream::err,
                      "Error: DIR/normal.map: expected 10 marker records of 8 fields, found 0 complete ones\n"},
                     {"truncated", [](const std::string& t) { return damage::truncated(t, 0.5); }, Stream::err,
                      "Error: DIR/normal.map: expected 10 marker records of 8 fields, found 5 complete ones\n"},
                     {"seven fields per record",
                      [](const std::string& t) { return std::regex_replace(t, std::regex(" 0\n"), "\n"); }, Stream::err,
                      // Read as 8 fields, the records shift until a letter field runs on.
                      "Error: line 7 of DIR/normal.map: expected allele letters of one character each in fields 4 "
                      "and 5 of marker 7, found \"6rs18\"\n"},
                     {"binary", [](const std::string&) { return damage::binary(100); }, Stream::err,
                      "Error: DIR/normal.map: expected 10 marker records of 8 fields, found 0 complete ones\n"},
                 });
}

TEST(DamagedImpute, GenotypeFiles) {
  run_file_cases(
      "disease.geno",
      {
          {"missing", nullptr, Stream::out, "open file DIR/disease.geno have some error\n"},
          {"empty", empty, Stream::err, "Error: line 1 of DIR/disease.geno: expected 2 sample lines, found 0\n"},
          {"one line short", [](const std::string& t) { return damage::first_lines(t, 1); }, Stream::err,
           "Error: line 2 of DIR/disease.geno: expected 2 sample lines, found 1\n"},
          {"truncated in the identifier of the last line",
           [](const std::string& t) { return damage::first_lines(t, 1) + "CASE1"; }, Stream::err,
           "Error: line 2 of DIR/disease.geno: expected 2 sample lines, found 1\n"},
      });
  run_file_cases("normal.geno",
                 {
                     {"missing", nullptr, Stream::out, "open file DIR/normal.geno have some error\n"},
                     {"binary without white space", [](const std::string&) { return damage::binary_word(5000); },
                      Stream::err, "Error: line 1 of DIR/normal.geno: expected 1 sample lines, found 0\n"},
                 });
}

TEST(DamagedImpute, ADirectoryInPlaceOfAFile) {
  for (const auto& [file, stream, message] :
       {std::tuple{"hapmap.hap", Stream::out, "find error for DIR/hapmap.hap \n"},
        std::tuple{"hapmap.map", Stream::out, "file open DIR/hapmap.map have error\n"},
        std::tuple{"normal.map", Stream::out, "file open DIR/normal.map have error\n"},
        std::tuple{"disease.geno", Stream::out, "open file DIR/disease.geno have some error\n"}}) {
    SCOPED_TRACE(file);
    DataSet data;
    data.remove(file);
    std::filesystem::create_directory(data.dir().file(file));
    expect_fatal(data, data.run(), stream, message);
  }
}

TEST(DamagedImpute, DamageTheFormatsAllowGivesTheCleanResult) {
  {
    SCOPED_TRACE("CRLF line ends in every file");
    DataSet data;
    for (const char* file : {"parameter.txt", "hapmap.hap", "hapmap.map", "normal.map", "disease.geno", "normal.geno"})
      data.write(file, damage::crlf(data.read(file)));
    expect_clean_result(data, data.run());
  }
  {
    SCOPED_TRACE("over-long genotype lines: letters past the last marker");
    DataSet data;
    std::string extra;
    for (int k = 0; k < 100000; ++k) extra += "A G ";
    data.write("disease.geno", std::regex_replace(data.read("disease.geno"), std::regex("\n"), extra + "\n"));
    expect_clean_result(data, data.run());
  }
  {
    SCOPED_TRACE("more lines and records than the counts");
    DataSet data;
    for (const char* file : {"hapmap.hap", "hapmap.map", "normal.map", "disease.geno", "normal.geno"})
      data.write(file, data.read(file) + damage::binary(2000));
    expect_clean_result(data, data.run());
  }
}

}  // namespace
}  // namespace snp
