#include "analysis/parameter_file.h"

#include <gtest/gtest.h>

#include "analysis/csm.h"
#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

using test::CapturedContext;
using test::ScratchDir;

CsmParameters read_from(const std::string& text, CapturedContext& c, const ScratchDir& dir) {
  dir.write("parameter.txt", text);
  CsmParameters p;
  read_csm_parameters(c.ctx, p);
  return p;
}

TEST(AnalysisParameterFile, MissingFileIsWrittenAndTheBuiltInValuesStay) {
  ScratchDir dir;
  CapturedContext c(dir);
  CsmParameters p;
  read_csm_parameters(c.ctx, p);
  EXPECT_EQ(c.console.str(), "Don't find parameter file use default value\n");
  EXPECT_EQ(dir.read("parameter.txt"),
            "Inputfile\t\t\t\t\tdat1.txt\nHead\t\t\t\t\t\t\t1\nRecorder_num\t\t\t\t\t1\nSample_size\t\t\t\t\t1033\n"
            "Number_of_markers\t\t\t152\nSymbol_of_missing_Gentype\t-1\nMax_retain\t\t\t\t\t10\n"
            "FDR_cutoff_for_candidate_locus_combinations\t0.75\nNumber_of_permutation\t\t200\n"
            "How_many_imputation_to_deal_with_missing\t\t\t10\nBest_m\t\t\t\t\t\t10\n");
  EXPECT_EQ(p.sample_size, 400);
  EXPECT_EQ(p.number_of_markers, 20);
  EXPECT_EQ(p.number_of_permutation, 0);
  EXPECT_EQ(p.best_m, 0);
  EXPECT_EQ(p.max_set_size, 1);

  // The file just written drives both readers next time.
  p = CsmParameters{};
  read_csm_parameters(c.ctx, p);
  EXPECT_EQ(p.input_file, "dat1.txt");
  EXPECT_EQ(p.sample_size, 1033);
  EXPECT_EQ(p.missing_symbol, "-1");
  EXPECT_EQ(p.max_retain, 10);
  EXPECT_EQ(p.number_of_permutation, 200);
  EXPECT_EQ(p.best_m, 10);
  EXPECT_EQ(p.max_set_size, 2);
  int ns = 400, nm = 20, repeats = 1, head = 0, recorder = 0;
  ReadPara(c.ctx, &ns, &nm, &repeats, &head, &recorder);
  EXPECT_EQ(ns, 1033);
  EXPECT_EQ(nm, 152);
  EXPECT_EQ(repeats, 10);
  EXPECT_EQ(recorder, 1);
  EXPECT_EQ(c.warnings.str(), "");
}

TEST(AnalysisParameterFile, KeysAreToldApartByTheirSecondThirdAndEleventhCharacters) {
  ScratchDir dir;
  CapturedContext c(dir);
  // Only the characters matter: "Saxophone" is Max_retain, "Number_of_pigs"
  // is Number_of_permutation, "Numbers" is Number_of_markers.
  const auto p = read_from(
      "Saxophone 4\nSample_size 99\nNumber_of_pigs 7\nNumbers 30\nBest 50\nRecorder 3\nheader 2\n"
      "Xy word\nHow 2.9\n",
      c, dir);
  EXPECT_EQ(p.max_retain, 4);
  EXPECT_EQ(p.sample_size, 99);
  EXPECT_EQ(p.number_of_permutation, 7);
  EXPECT_EQ(p.number_of_markers, 30);
  EXPECT_EQ(p.best_m, 30);  // capped at the marker count
  EXPECT_EQ(p.recorder_num, 3);
  EXPECT_EQ(p.head, 2);
  EXPECT_EQ(p.missing_symbol, "word");
  EXPECT_EQ(p.imputation_repeats, 2);  // truncated toward zero
}

TEST(AnalysisParameterFile, FdrCutoffOutsideZeroToOneLeavesTheDefault) {
  ScratchDir dir;
  CapturedContext c(dir);
  EXPECT_DOUBLE_EQ(read_from("FDR 0\n", c, dir).fdr_cutoff, 0.75);
  EXPECT_DOUBLE_EQ(read_from("FDR 1.5\n", c, dir).fdr_cutoff, 0.75);
  EXPECT_DOUBLE_EQ(read_from("FDR -0.2\n", c, dir).fdr_cutoff, 0.75);
  EXPECT_DOUBLE_EQ(read_from("FDR 1\n", c, dir).fdr_cutoff, 1.0);
  EXPECT_DOUBLE_EQ(read_from("FDR 0.25\n", c, dir).fdr_cutoff, 0.25);
  EXPECT_NE(c.warnings.str().find("Warning: line 1 of parameter.txt: FDR must lie in (0, 1], found 1.5"),
            std::string::npos);
}

TEST(AnalysisParameterFile, EmptyLinesDoNotCountAndA0xFFByteEndsTheText) {
  EXPECT_EQ(count_parameter_lines(""), 0);
  EXPECT_EQ(count_parameter_lines("\n\n"), 0);
  EXPECT_EQ(count_parameter_lines("a 1\n\n\nb 2\n"), 2);
  EXPECT_EQ(count_parameter_lines("\na 1\nb 2"), 2);
  EXPECT_EQ(count_parameter_lines("a 1\n\xff" "b 2\nc 3\n"), 1);
  // Records are read across the empty lines.
  std::ostringstream console, warnings;
  const auto text = parse_parameter_text("Sample_size 5\n\n\n\nBest_m 3\n", console, warnings);
  ASSERT_EQ(text.records.size(), 2u);
  EXPECT_EQ(text.records[1].name, "Best_m");
  EXPECT_EQ(text.records[1].line, 5);
}

TEST(AnalysisParameterFile, MoreThanFifteenLinesWarnsAndOnlyTwentyRecordsAreRead) {
  std::string text;
  for (int i = 1; i <= 22; ++i) text += "Head " + std::to_string(i) + "\n";
  std::ostringstream console, warnings;
  const auto parsed = parse_parameter_text(text, console, warnings);
  EXPECT_EQ(console.str(),
            "There are too many line in parameter file to deal i=22\n               please delete those line for "
            "not use and line number don't more than 15.\n");
  ASSERT_EQ(parsed.records.size(), 20u);
  EXPECT_EQ(parsed.records.back().real, 20.0f);

  std::ostringstream quiet;
  text.clear();
  for (int i = 1; i <= 15; ++i) text += "Head " + std::to_string(i) + "\n";
  EXPECT_EQ(parse_parameter_text(text, quiet, warnings).records.size(), 15u);
  EXPECT_EQ(quiet.str(), "");
}

TEST(AnalysisParameterFile, UnknownKeysAreReportedAndBadNumbersIgnored) {
  ScratchDir dir;
  CapturedContext c(dir);
  const auto p = read_from("Sample_size 12x\nZz 2.5\nMax_retain 3\n", c, dir);
  EXPECT_EQ(p.sample_size, 400);
  EXPECT_EQ(p.max_retain, 3);
  EXPECT_EQ(c.console.str(), "Find error,needless parameter! parametername=Zz parametervalue=2.500000 k=3\n");
  EXPECT_EQ(c.warnings.str(),
            "Warning: line 1 of parameter.txt: expected a number for Sample_size, found \"12x\"; the entry is "
            "ignored\n");
}

TEST(AnalysisParameterFile, OnlyAsManyRecordsAsStartWithALetterAreDispatched) {
  // Two of three records start with a letter: the first two are dispatched,
  // the non-letter one among them included, and the third is not.
  std::ostringstream console, warnings;
  const auto text = parse_parameter_text("Head 4\n1ead 5\nBest_m 6\n", console, warnings);
  EXPECT_EQ(text.valid_count, 2);
  std::vector<std::string> seen;
  dispatch_parameters(text, console, [&](ParameterKey, const ParameterRecord& r) { seen.push_back(r.name); });
  EXPECT_EQ(seen, (std::vector<std::string>{"Head", "1ead"}));
}

}  // namespace
}  // namespace snp
