#include "analysis/inputs/parameter_file.h"

#include <gtest/gtest.h>

#include "scratch_dir.h"

namespace snp {
namespace {

using test::ScratchDir;

AnalysisSettings read_from(const ScratchDir& dir, const std::string& text, std::ostream& console) {
  dir.write("parameter.txt", text);
  return read_analysis_settings(dir.files(), console);
}

TEST(AnalysisParameterFile, WithoutAFileTheDriverKeepsItsValuesAndTheSearchTakesTheDefaultFile) {
  ScratchDir dir;
  std::ostringstream console;
  const AnalysisSettings s = read_analysis_settings(dir.files(), console);
  EXPECT_EQ(console.str(), "Don't find parameter file use default value\n");
  EXPECT_EQ(dir.read("parameter.txt"), kDefaultParameterText);
  EXPECT_EQ(std::vector<int>({s.driver.ns, s.driver.nm, s.driver.missingrepeat}), std::vector<int>({400, 20, 10}));
  EXPECT_EQ(s.search.sample_size, 1033);
  EXPECT_EQ(s.search.number_of_markers, 152);
  EXPECT_EQ(s.search.max_set_size, 2);  // Best_m 10
  EXPECT_EQ(s.search_notes.console + s.search_notes.warnings, "");
}

TEST(AnalysisParameterFile, KeysAreToldApartByTheirSecondThirdAndEleventhCharacters) {
  ScratchDir dir;
  std::ostringstream console;
  // "Saxophone" is Max_retain, "Number_of_pigs" Number_of_permutation,
  // "Numbers" Number_of_markers.
  const AnalysisSettings s = read_from(
      dir, "Saxophone 4\nSample_size 99\nNumber_of_pigs 7\nNumbers 30\nBest 50\nRecorder 3\nXy word\nHow 2.9\n",
      console);
  EXPECT_EQ(s.search.max_retain, 4);
  EXPECT_EQ(s.search.number_of_permutation, 7);
  EXPECT_EQ(s.search.best_m, 30);  // capped at the marker count
  EXPECT_EQ(s.search.recorder_num, 3);
  EXPECT_EQ(s.search.missing_symbol, "word");
  EXPECT_EQ(s.driver.ns, 99);
  EXPECT_EQ(s.driver.nm, 30);
  EXPECT_EQ(s.driver.missingrepeat, 2);  // truncated toward zero
  EXPECT_EQ(console.str(), "");
}

TEST(AnalysisParameterFile, NotesOfTheReadingAreKeptForTheDriverAndForEveryAnalysis) {
  ScratchDir dir;
  std::ostringstream console;
  const AnalysisSettings s = read_from(dir, "Sample_size 12x\nZz 2.5\nFDR 1.5\nMax_retain 3\n", console);
  EXPECT_EQ(s.driver.ns, 400);
  EXPECT_EQ(s.search.max_retain, 3);
  EXPECT_DOUBLE_EQ(s.search.fdr_cutoff, 0.75);
  const std::string unknown = "Find error,needless parameter! parametername=Zz parametervalue=2.500000 k=4\n";
  const std::string bad_number =
      "Warning: line 1 of parameter.txt: expected a number for Sample_size, found \"12x\"; the entry is ignored\n";
  EXPECT_EQ(s.driver_notes.console, unknown);
  EXPECT_EQ(s.driver_notes.warnings, bad_number);
  // Only the search rejects an FDR cut-off outside (0, 1].
  EXPECT_EQ(s.search_notes.console, unknown);
  EXPECT_EQ(s.search_notes.warnings,
            bad_number + "Warning: line 3 of parameter.txt: FDR must lie in (0, 1], found 1.5; 0.75 stays\n");
  EXPECT_DOUBLE_EQ(read_from(dir, "FDR 1\n", console).search.fdr_cutoff, 1.0);
  EXPECT_EQ(console.str(), "");
}

TEST(AnalysisParameterFile, MoreThanFifteenLinesWarnAndTwentyRecordsAreRead) {
  std::string text;
  for (int i = 1; i <= 22; ++i) text += "Head " + std::to_string(i) + "\n\n";
  std::ostringstream console, warnings;
  const auto parsed = parse_parameter_text(text, console, warnings);
  EXPECT_EQ(console.str(),
            "There are too many line in parameter file to deal i=22\n               please delete those line for "
            "not use and line number don't more than 15.\n");
  ASSERT_EQ(parsed.records.size(), 20u);
  EXPECT_EQ(parsed.records.back().line, 39);
}

TEST(AnalysisParameterFile, OnlyAsManyRecordsAsStartWithALetterAreDispatched) {
  std::ostringstream console, warnings;
  const auto text = parse_parameter_text("Head 4\n1ead 5\nBest_m 6\n", console, warnings);
  EXPECT_EQ(text.valid_count, 2);
  std::vector<std::string> seen;
  dispatch_parameters(text, console, [&](ParameterKey, const ParameterRecord& r) { seen.push_back(r.name); });
  EXPECT_EQ(seen, (std::vector<std::string>{"Head", "1ead"}));
}

}  // namespace
}  // namespace snp
