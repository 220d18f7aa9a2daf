// snp-screen and csm-analysis on damaged inputs, end to end. A fatal case
// ends with status 1 and a message that names the file and, where there is
// one, the line; no case crashes or hangs (standard input closed, a
// timeout); damage the formats allow (CRLF line ends, codes past the last
// marker) gives the clean result.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "damaged_files.h"
#include "test_support.h"

namespace snp {
namespace {

using test::ProgramRun;
using test::TempDir;
namespace damage = test::damage;

constexpr int kTimeoutSeconds = 60;

enum class Stream { out, err };

// Status 1 and `message` ("DIR" for the directory) at the end of `stream`;
// a message ending in "..." is the start of the stream's last line.
void expect_fatal(const TempDir& dir, const ProgramRun& run, Stream stream, std::string message) {
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  const std::string& text = stream == Stream::out ? run.out : run.err;
  message = std::regex_replace(message, std::regex("DIR"), dir.path());
  if (message.ends_with("...")) {
    message.resize(message.size() - 3);
    const size_t last_line = text.rfind('\n', text.size() - 2);
    EXPECT_EQ(text.compare(last_line == std::string::npos ? 0 : last_line + 1, message.size(), message), 0) << text;
    return;
  }
  ASSERT_GE(text.size(), message.size()) << text;
  EXPECT_EQ(text.substr(text.size() - message.size()), message);
}

// A file of a data set, damaged or (nullptr) removed.
struct FileCase {
  const char* name;
  std::string (*damaged)(const std::string& clean);
  Stream stream;
  std::string message;
};

std::string empty(const std::string&) { return ""; }

// A chromosome-length file: the given counts, then zeros up to 26.
std::string lengths(std::vector<int> counts) {
  counts.resize(26, 0);
  std::string text;
  for (size_t k = 0; k < counts.size(); ++k) text += std::to_string(counts[k]) + (k + 1 < counts.size() ? " " : "\n");
  return text;
}

// ---------------------------------------------------------------- snp-screen

// Six cases and six controls at three markers; marker 1 follows the status,
// so it is selected and named through the chromosome-length file.
class ScreenData {
 public:
  static constexpr const char* kData = "CaseAndControlData.txt";
  static constexpr const char* kLengths = "Chromosome_SNP_Length.txt";
  ScreenData() {
    std::string text;
    for (int i = 0; i < 12; ++i) text += i < 6 ? "1 0 2 1\n" : "0 1 0 1\n";
    dir_.write(kData, text);
    dir_.write(kLengths, lengths({2, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
  }
  const TempDir& dir() const { return dir_; }
  std::string read(const std::string& name) const { return dir_.read(name); }
  void write(const std::string& name, const std::string& text) const { dir_.write(name, text); }
  void remove(const std::string& name) const { std::filesystem::remove(dir_.file(name)); }
  ProgramRun run(const std::vector<std::string>& options = {}) const {
    std::vector<std::string> args = {"--data-dir", dir_.path(), "--names-dir", dir_.path(), "--markers", "3",
                                     "--cases",    "6",         "--controls",  "6"};
    args.insert(args.end(), options.begin(), options.end());
    return test::run_program(SNP_SCREEN_BIN, args, dir_.path(), kTimeoutSeconds);
  }

 private:
  TempDir dir_;
};

const std::string& clean_screen_result() {
  static const std::string result = [] {
    ScreenData data;
    const ProgramRun run = data.run();
    if (run.status != 0) throw std::runtime_error("the clean screen fails: " + run.err);
    return data.read("FDR_results.txt");
  }();
  return result;
}

void run_screen_cases(const char* file, const std::vector<FileCase>& cases) {
  for (const FileCase& c : cases) {
    SCOPED_TRACE(std::string(file) + ": " + c.name);
    ScreenData data;
    if (c.damaged)
      data.write(file, c.damaged(data.read(file)));
    else
      data.remove(file);
    expect_fatal(data.dir(), data.run(), c.stream, c.message);
  }
}

TEST(DamagedScreen, DataFile) {
  const std::string status_error = "expected the status (an integer from -32768 to 32767) at the start\n";
  run_screen_cases(
      ScreenData::kData,
      {
          {"missing", nullptr, Stream::out, "file open DIR/CaseAndControlData.txt not good\n"},
          {"empty", empty, Stream::err,
           "Error: DIR/CaseAndControlData.txt: expected 12 lines (one per individual), found 0\n"},
          {"truncated in a line", [](const std::string& t) { return damage::truncated(t, 0.55); }, Stream::err,
           "Error: DIR/CaseAndControlData.txt: expected 12 lines (one per individual), found 7\n"},
          {"binary", [](const std::string&) { return damage::binary(3000); }, Stream::err,
           "Error: line 1 of DIR/CaseAndControlData.txt: " + status_error},
          {"an empty line", [](const std::string& t) { return damage::with_line(t, 4, ""); }, Stream::err,
           "Error: line 4 of DIR/CaseAndControlData.txt: " + status_error},
          {"an over-long status", [](const std::string& t) { return damage::with_line(t, 2, std::string("1").append(100000, '0')); },
           Stream::err, "Error: line 2 of DIR/CaseAndControlData.txt: " + status_error},
          {"a status beyond 16 bits", [](const std::string& t) { return damage::with_line(t, 12, "32768 1 0 1"); },
           Stream::err, "Error: line 12 of DIR/CaseAndControlData.txt: " + status_error},
          {"more cases than the study's (wrong count)",
           [](const std::string& t) { return damage::with_line(t, 7, "1 0 2 1"); }, Stream::err,
           "Error: DIR/CaseAndControlData.txt: 7 lines are cases, more than the 6 cases of the study (--cases)\n"},
      });
}

TEST(DamagedScreen, DamageTheFormatAllowsGivesTheCleanResult) {
  for (const auto& [name, damaged] :
       {std::pair<const char*, std::string (*)(const std::string&)>{"CRLF line ends", damage::crlf},
        {"an over-long line: codes past the last marker",
         [](const std::string& t) {
           std::string codes;
           for (int k = 0; k < 500000; ++k) codes += "2 ";
           return damage::with_line(t, 3, "1 0 2 1 " + codes);
         }},
        {"lines after the last individual", [](const std::string& t) { return t + damage::binary(3000); }}}) {
    SCOPED_TRACE(name);
    ScreenData data;
    data.write(ScreenData::kData, damaged(data.read(ScreenData::kData)));
    data.write(ScreenData::kLengths, damage::crlf(data.read(ScreenData::kLengths)));
    const ProgramRun run = data.run();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(data.read("FDR_results.txt"), clean_screen_result());
  }
}

TEST(DamagedScreen, ChromosomeLengthFile) {
  const std::string counts_error =
      "Error: DIR/Chromosome_SNP_Length.txt: expected 26 marker counts (chromosomes 1 to 26), value ";
  run_screen_cases(
      ScreenData::kLengths,
      {
          {"missing", nullptr, Stream::out, "open file DIR/Chromosome_SNP_Length.txt have some error\n"},
          {"empty", empty, Stream::err, counts_error + "1 is missing or not a count\n"},
          {"truncated", [](const std::string& t) { return damage::truncated(t, 0.3); }, Stream::err,
           counts_error + "9 is missing or not a count\n"},
          {"binary", [](const std::string&) { return damage::binary(3000); }, Stream::err,
           counts_error + "1 is missing or not a count\n"},
          {"a negative count", [](const std::string&) { return std::string("2 1 0 0 -1 0"); }, Stream::err,
           counts_error + "5 is missing or not a count\n"},
          {"counts that leave the selected marker out (wrong count)",
           [](const std::string&) { return lengths({1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}); }, Stream::err,
           "Error: DIR/Chromosome_SNP_Length.txt: marker 1 lies outside the 1 markers counted there\n"},
      });
}

TEST(DamagedScreen, ImpossibleCountsInTheOptions) {
  const std::string hint = "\nRun snp-screen --help for the options.\n";
  for (const auto& [options, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--markers", "0"}, "Error: --markers needs a whole number of at least 1, found \"0\""},
           {{"--markers=-3"}, "Error: --markers needs a whole number of at least 1, found \"-3\""},
           {{"--samples", "0"}, "Error: --samples needs a whole number of at least 1, found \"0\""},
           {{"--cases", "-1"}, "Error: --cases needs a whole number of at least 0, found \"-1\""},
           {{"--controls", "2147483648"}, "Error: --controls needs a whole number of at least 0, found \"2147483648\""},
           {{"--cases", "0", "--controls", "0"}, "Error: --samples must be at least 1 (controls + cases is 0)"},
           {{"--samples"}, "Error: option --samples needs a value"},
       }) {
    SCOPED_TRACE(options.front());
    ScreenData data;
    expect_fatal(data.dir(), data.run(options), Stream::err, message + hint);
  }
  ScreenData data;
  expect_fatal(data.dir(), data.run({"--data-dir", data.dir().file("missing")}), Stream::out,
               "file open DIR/missing/CaseAndControlData.txt not good\n");
}

// -------------------------------------------------------------- csm-analysis

// Four individuals at two markers, one data set, and the names of the two
// markers (chromosome 1, loci 1 and 2).
class AnalysisData {
 public:
  AnalysisData() {
    dir_.write("parameter.txt", "Sample_size 4\nNumber_of_markers 2\nHow_many_imputation_to_deal_with_missing 1\n");
    dir_.write("g.txt", "0 1\n0 2\n-1 1\n0 2\n");
    dir_.write("p.txt", "1 0 1 0\n");
    dir_.write("c.txt", "0 1\n");
    dir_.write("Chromosome_SNP_Length.txt", lengths({2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
    std::filesystem::create_directory(dir_.file("cc555k_map"));
    dir_.write("cc555k_map/cc555k_chr1.snps", "1 1 rsA\n1 2 rsB\n");
  }
  const TempDir& dir() const { return dir_; }
  std::string read(const std::string& name) const { return dir_.read(name); }
  void write(const std::string& name, const std::string& text) const { dir_.write(name, text); }
  void remove(const std::string& name) const { std::filesystem::remove(dir_.file(name)); }
  ProgramRun run(const std::vector<std::string>& options = {}) const {
    std::vector<std::string> args = {"--genotypes", "g.txt", "--phenotypes", "p.txt",
                                     "--columns",   "c.txt", "--data-dir",   dir_.path()};
    args.insert(args.end(), options.begin(), options.end());
    return test::run_program(CSM_ANALYSIS_BIN, args, dir_.path(), kTimeoutSeconds);
  }

 private:
  TempDir dir_;
};

// The last line of a run, "Final markers: ...".
std::string final_markers(const ProgramRun& run) {
  const size_t at = run.out.rfind("Final markers:");
  return at == std::string::npos ? "" : run.out.substr(at);
}

const std::string& clean_analysis_markers() {
  static const std::string markers = [] {
    AnalysisData data;
    const ProgramRun run = data.run();
    if (run.status != 0) throw std::runtime_error("the clean analysis fails: " + run.err);
    return final_markers(run);
  }();
  return markers;
}

void run_analysis_cases(const char* file, const std::vector<FileCase>& cases) {
  for (const FileCase& c : cases) {
    SCOPED_TRACE(std::string(file) + ": " + c.name);
    AnalysisData data;
    if (c.damaged)
      data.write(file, c.damaged(data.read(file)));
    else
      data.remove(file);
    expect_fatal(data.dir(), data.run(), c.stream, c.message);
  }
}

TEST(DamagedAnalysis, GenotypeFile) {
  const std::string code = "expected a genotype code -1, 0, 1 or 2, found \"";
  run_analysis_cases(
      "g.txt",
      {
          {"missing", nullptr, Stream::err, "Error: cannot open g.txt\n"},
          {"empty", empty, Stream::err, "Error: g.txt: expected at least one line of a genotype code -1, 0, 1 or 2, found none\n"},
          {"truncated in a line", [](const std::string& t) { return damage::truncated(t, 0.6); }, Stream::err,
           "Error: line 3 of g.txt: expected 2 genotype codes (as on the first line), found 1\n"},
          {"binary", [](const std::string&) { return damage::binary(3000); }, Stream::err,
           "Error: line 1 of g.txt: " + code + "..."},
          {"an over-long number", [](const std::string& t) { return damage::with_line(t, 2, std::string(1 << 20, '1')); },
           Stream::err, "Error: line 2 of g.txt: " + code + std::string(1 << 20, '1') + "\"\n"},
          {"a line of many codes (wrong count)",
           [](const std::string& t) {
             std::string codes;
             for (int k = 0; k < 100000; ++k) codes += "1 ";
             return damage::with_line(t, 2, codes);
           },
           Stream::err, "Error: line 2 of g.txt: expected 2 genotype codes (as on the first line), found 100000\n"},
          {"one individual more than p.txt has (wrong count)", [](const std::string& t) { return t + "1 1\n"; },
           Stream::err, "Error: line 1 of p.txt: expected 5 phenotypes (one per individual of g.txt), found 4\n"},
      });
}

TEST(DamagedAnalysis, PhenotypeAndColumnFiles) {
  run_analysis_cases("p.txt",
                     {
                         {"missing", nullptr, Stream::err, "Error: cannot open p.txt\n"},
                         {"empty", empty, Stream::err,
                          "Error: p.txt: expected at least one line of an integer phenotype, found none\n"},
                         {"truncated", [](const std::string& t) { return damage::truncated(t, 0.5); }, Stream::err,
                          "Error: line 1 of p.txt: expected 4 phenotypes (one per individual of g.txt), found 2\n"},
                         {"beyond 16 bits", [](const std::string&) { return std::string("1 0 32768 0\n"); },
                          Stream::err, "Error: line 1 of p.txt: expected an integer phenotype, found \"32768\"\n"},
                     });
  run_analysis_cases(
      "c.txt", {
                   {"missing", nullptr, Stream::err, "Error: cannot open c.txt\n"},
                   {"binary", [](const std::string&) { return damage::binary(3000); }, Stream::err,
                    "Error: line 1 of c.txt: expected a genotype column 0..1, found \"..."},
                   {"a negative column", [](const std::string&) { return std::string("0 -1\n"); }, Stream::err,
                    "Error: line 1 of c.txt: expected a genotype column 0..1, found \"-1\"\n"},
                   {"a line for a data set that p.txt lacks (wrong count)",
                    [](const std::string& t) { return t + "1 0\n"; }, Stream::err,
                    "Error: c.txt: expected one line per data set of p.txt (1), found 2\n"},
               });
}

TEST(DamagedAnalysis, ImpossibleCountsInTheParameterFile) {
  for (const auto& [line, message] : std::vector<std::pair<std::string, std::string>>{
           {"Sample_size 0", "Error: g.txt: expected Sample_size = 0 individuals (from parameter.txt), found 4\n"},
           {"Sample_size -4", "Error: g.txt: expected Sample_size = -4 individuals (from parameter.txt), found 4\n"},
           {"Sample_size 1e30", "Error: g.txt: expected Sample_size = 2147483647 individuals (from parameter.txt), "
                                "found 4\n"},
           {"Number_of_markers 0",
            "Error: c.txt: expected Number_of_markers = 0 columns (from parameter.txt), found 2\n"},
           {"Number_of_markers -2",
            "Error: c.txt: expected Number_of_markers = -2 columns (from parameter.txt), found 2\n"},
           {"Number_of_permutation 3",
            "Error: p.txt: expected 4 data sets (Number_of_permutation = 3 from data set 1 on), found 1\n"},
       }) {
    SCOPED_TRACE(line);
    AnalysisData data;
    data.write("parameter.txt", data.read("parameter.txt") + line + "\n");
    expect_fatal(data.dir(), data.run(), Stream::err, message);
  }
  {
    SCOPED_TRACE("no parameter file: the built-in values");
    AnalysisData data;
    data.remove("parameter.txt");
    expect_fatal(data.dir(), data.run(), Stream::err,
                 "Error: g.txt: expected Sample_size = 400 individuals (from the built-in values; there is no "
                 "parameter.txt), found 4\n");
  }
  for (const auto& [name, text] : {std::pair<const char*, std::string>{"empty", ""},
                                   {"binary", damage::binary(3000)},
                                   {"one over-long word", damage::binary_word(1 << 20)}}) {
    SCOPED_TRACE(std::string("parameter file ") + name);
    AnalysisData data;
    data.write("parameter.txt", text);
    expect_fatal(data.dir(), data.run(), Stream::err,
                 "Error: g.txt: expected Sample_size = 400 individuals (from parameter.txt), found 4\n");
  }
  AnalysisData data;
  const ProgramRun negative = data.run({"--first-permuted", "-1"});
  EXPECT_EQ(negative.status, 1);
  EXPECT_EQ(negative.err.rfind("Error: --first-permuted needs a whole number of at least 0, found \"-1\"\nRun csm-analysis", 0), 0u)
      << negative.err;
}

TEST(DamagedAnalysis, MarkerNameFiles) {
  run_analysis_cases(
      "Chromosome_SNP_Length.txt",
      {
          {"missing", nullptr, Stream::out, "open file DIR/Chromosome_SNP_Length.txt have some error\n"},
          {"truncated", [](const std::string& t) { return damage::truncated(t, 0.5); }, Stream::err,
           "Error: DIR/Chromosome_SNP_Length.txt: expected 26 marker counts (chromosomes 1 to 26), value 14 is "
           "missing or not a count\n"},
      });
  run_analysis_cases("cc555k_map/cc555k_chr1.snps",
                     {
                         {"missing", nullptr, Stream::out, "find error open DIR/cc555k_map/cc555k_chr1.snps\n"},
                         {"one line short", [](const std::string& t) { return damage::first_lines(t, 1); },
                          Stream::err,
                          "Error: DIR/cc555k_map/cc555k_chr1.snps: expected 2 SNP lines (from "
                          "DIR/Chromosome_SNP_Length.txt), found 1\n"},
                         {"a line of two fields", [](const std::string& t) { return damage::with_line(t, 2, "1 2"); },
                          Stream::err,
                          "Error: line 2 of DIR/cc555k_map/cc555k_chr1.snps: expected the SNP name as the third "
                          "field\n"},
                     });
}

TEST(DamagedAnalysis, DamageTheFormatsAllowAndLargeCountsGiveTheCleanResult) {
  {
    SCOPED_TRACE("CRLF line ends in every file");
    AnalysisData data;
    for (const char* file : {"parameter.txt", "g.txt", "p.txt", "c.txt", "Chromosome_SNP_Length.txt",
                             "cc555k_map/cc555k_chr1.snps"})
      data.write(file, damage::crlf(data.read(file)));
    const ProgramRun run = data.run();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(final_markers(run), clean_analysis_markers());
  }
  {
    // Sets kept per size times the set sizes once overflowed an int.
    SCOPED_TRACE("Max_retain at the int limit with pairs searched");
    AnalysisData data;
    data.write("parameter.txt", data.read("parameter.txt") + "Max_retain 2147483647\nBest_m 2\n");
    AnalysisData reference;
    reference.write("parameter.txt", reference.read("parameter.txt") + "Max_retain 10\nBest_m 2\n");
    const ProgramRun run = data.run();
    const ProgramRun expected = reference.run();
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    ASSERT_EQ(expected.status, 0) << expected.out << expected.err;
    EXPECT_EQ(final_markers(run), final_markers(expected));
    EXPECT_EQ(data.read("Final_result.txt").substr(data.read("parameter.txt").size()),
              reference.read("Final_result.txt").substr(reference.read("parameter.txt").size()));
  }
}

}  // namespace
}  // namespace snp
