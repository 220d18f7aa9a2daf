#include "input/study_reader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"

namespace snp {
namespace {

using test::TempDir;

TEST(StudyReader, CodingRule) {
  // Map letters A (maximum, field 4) and G (minimum, field 5): codes count G.
  EXPECT_EQ(code_genotype('A', 'G', 'A', 'G'), 1);
  EXPECT_EQ(code_genotype('G', 'G', 'A', 'G'), 2);
  EXPECT_EQ(code_genotype('A', 'A', 'A', 'G'), 0);
  EXPECT_EQ(code_genotype('A', '0', 'A', 'G'), -1);
  EXPECT_EQ(code_genotype('0', '0', 'A', 'G'), -1);
  EXPECT_EQ(code_genotype('A', 'C', 'A', 'G'), -1);
  // Both map letters equal: a homozygote of that letter codes 2.
  EXPECT_EQ(code_genotype('C', 'C', 'C', 'C'), 2);
}

struct GroupFiles {
  TempDir dir;
  std::ostringstream console;
  RunContext ctx;
  GroupFiles(const std::string& map, const std::string& geno, int samples, int chr, bool controls) {
    dir.write("s.map", map);
    dir.write("g.geno", geno);
    ctx.console = &console;
    ctx.config.current_chr = chr;
    ctx.config.path_disease_datadirectory = dir.path() + "/";
    ctx.config.path_disease_data_mapfile0 = "s.map";
    ctx.config.path_disease_data_file0 = "g.geno";
    ctx.config.path_disease_data_file1 = "g.geno";
    ctx.config.ncase = ctx.config.ncontrol = samples;
    ctx.data.cc_or_als = controls ? 0 : 1;
  }
  CodeMatrix read(int markers, int rows) {
    CodeMatrix m(rows, markers);
    trans_ACGT_to_01_minus_1(ctx, m, 0, markers);
    return m;
  }
};

std::string map_lines(const std::vector<std::string>& letters) {
  std::string text;
  for (size_t k = 0; k < letters.size(); ++k)
    text += "7 " + std::to_string(k) + " rs" + std::to_string(k) + " " + letters[k] + " 0 0 0\n";
  return text;
}

TEST(StudyReader, LetterOffsetSkippedMarkersAndShortLines) {
  // One blank after the second word fixes the letter offset at 1.
  GroupFiles f(map_lines({"A G", "- C", "C T"}), "s0 x A G C C T T\ns1 x G G A C C T\ns2 x A A C C T\n", 3, 7,
               true);
  CodeMatrix m = f.read(3, 3);
  EXPECT_EQ(f.console.str(), "read chromosome 7 maximum Allele Letter and minimum Allele Letter information\n");
  EXPECT_EQ(m(0, 0), 1);
  EXPECT_EQ(m(0, 1), -1);  // maximum letter "-": never coded
  EXPECT_EQ(m(0, 2), 2);
  EXPECT_EQ(m(1, 0), 2);
  EXPECT_EQ(m(1, 2), 1);
  EXPECT_EQ(m(2, 0), 0);
  EXPECT_EQ(m(2, 2), -1);  // line too short for the second allele
}

TEST(StudyReader, FirstLineWithoutBlankGivesOffsetZeroUntilALineHasBlanks) {
  GroupFiles f(map_lines({"A G"}), "s0 x\tA G\ns1 x  G G\n", 2, 7, true);
  CodeMatrix m = f.read(1, 2);
  // Offset 0 for the first line: position 0 holds the tab (missing).
  EXPECT_EQ(m(0, 0), -1);
  EXPECT_EQ(m(1, 0), 2);
}

TEST(StudyReader, ChromosomeExceptions) {
  std::vector<std::string> letters(19597, "A G");
  std::string line = " ";
  for (size_t m = 0; m < letters.size(); ++m) line += "G G ";
  GroupFiles ten(map_lines(letters), "s0 x" + line + "\n", 1, 10, false);
  CodeMatrix m10 = ten.read(19597, 1);
  EXPECT_EQ(m10(0, 19595), 2);
  EXPECT_EQ(m10(0, 19596), -1);

  letters.resize(13786);
  std::string lines;
  for (int s = 0; s < 142; ++s) {
    std::string l = "s";
    l += std::to_string(s);
    l += " x ";
    for (size_t m = 0; m < letters.size(); ++m) {
      const bool special = m == 13785 && (s == 40 || s == 141);
      l += special ? (s == 40 ? "T G " : "T A ") : "A A ";
    }
    lines += l + "\n";
  }
  GroupFiles controls(map_lines(letters), lines, 142, 17, true);
  CodeMatrix c17 = controls.read(13786, 142);
  EXPECT_EQ(c17(40, 13785), 2);   // T counts 1, G (minimum) counts 1
  EXPECT_EQ(c17(141, 13785), 1);  // T counts 1, A (maximum) counts 0
  EXPECT_EQ(c17(39, 13785), 0);
  GroupFiles cases(map_lines(letters), lines, 142, 17, false);
  EXPECT_EQ(cases.read(13786, 142)(40, 13785), -1);  // the exception is for controls only
}

TEST(StudyReader, MissingAndShortFiles) {
  GroupFiles f(map_lines({"A G"}), "s0 x A G\n", 2, 7, true);
  try {
    f.read(1, 2);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "Error: line 2 of " + f.dir.path() + "/g.geno: expected 2 sample lines, found 1\n");
  }
  f.ctx.config.path_disease_data_file0 = "absent.geno";
  try {
    f.read(1, 2);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "open file " + f.dir.path() + "/absent.geno have some error\n");
    EXPECT_FALSE(e.wait_for_keystroke());
  }
  f.ctx.config.path_disease_data_mapfile0 = "absent.map";
  try {
    f.read(1, 2);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()), "open file " + f.dir.path() + "/absent.map have error\n");
    EXPECT_TRUE(e.wait_for_keystroke());
  }
}

TEST(StudyReader, MapWithTooFewRecords) {
  EXPECT_THROW(parse_study_map("7 0 rs0 A G 0 0 0\n7 1 rs1 A G 0 0\n", "s.map", 2), InputError);
  const StudyMap map = parse_study_map("7 0 rs0 AG 0 0 0\n", "s.map", 1);
  EXPECT_EQ(map.letters[0], (AllelePair{'A', 'G'}));
}

}  // namespace
}  // namespace snp
